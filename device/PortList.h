#pragma once

#include <string>

#include "device/CommonProcUn.h"

// The system's serial ports, as names OpenSerialLine accepts. One whole file per system
// (PortListLinux.cpp, PortListWin32.cpp).

// Where the list is read from: the sysfs root on Linux, the registry key under the local-machine
// root on Windows. Tests point it elsewhere.
std::string DefaultPortSource();

// Replaces names with the ports of source, sorted by SortPortNames. False, with names untouched,
// when source cannot be read at all.
bool ReadSystemPortNames(TStringList& names, const std::string& source = DefaultPortSource());

// Alphabetical without regard to letter case (COM1, COM10, COM2); duplicates stay.
void SortPortNames(TStringList& names);
