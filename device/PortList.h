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

// What the named port stands for now, so that a port that went and came back tells itself from one
// that stayed: empty when there is no such port. Nothing is opened; cheap enough to ask every
// second.
std::string PortIdentity(const std::string& portName);

// Alphabetical without regard to letter case (COM1, COM10, COM2); duplicates stay.
void SortPortNames(TStringList& names);
