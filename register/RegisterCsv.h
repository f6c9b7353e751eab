#pragma once

#include <functional>
#include <string>

#include "register/ProtocolRegister.h"

// The register's rows handed to a spreadsheet: what a Russian-locale spreadsheet opens by a
// double-click, every character kept. Fields are separated by ';' (its list separator) and quoted
// where they hold one, a quote, a line break or blanks at either end; lines end with CR LF; the
// text is UTF-8 behind a byte-order mark, which tells the spreadsheet it is not the system's
// 8-bit code page.

// The working mode's name, for the detector's mode character.
using TModeName = std::function<std::string(char mode)>;

// A row's date and time as the register window and the spreadsheet show it: 08.12.2026 10:15.
// A text that is no date of the register's is shown as it is.
std::string ShownDateTime(const std::string& madeAt);

// Where the exported rows come from: hands them to each, in order, until it returns false.
using TRegisterRows = std::function<void(const std::function<bool(const TProtocolRecord&)>& each)>;

// Writes a row of column captions, then one line per row, in the order given, in one step
// (WriteFileAtomically) as the rows come, holding a few of them at a time.
// Throws TFileError when the file cannot be written, and passes on what rows throws; either way
// the old file stays as it was.
void WriteRegisterCsv(const std::string& fileName, const TRegisterRows& rows,
                      const TModeName& modeName);
