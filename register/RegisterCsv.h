#pragma once

#include <functional>
#include <string>
#include <vector>

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

// The file's bytes: a row of column captions, then one line per row, in the order given.
std::string RegisterCsv(const std::vector<TProtocolRecord>& rows, const TModeName& modeName);

// Writes them in one step (WriteFileAtomically). Throws TFileError when the file cannot be
// written.
void WriteRegisterCsv(const std::string& fileName, const std::vector<TProtocolRecord>& rows,
                      const TModeName& modeName);
