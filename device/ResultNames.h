#pragma once

#include <string>

// The detector's result codes and their descriptions, in the detector's order. The code is one
// Windows-1251 byte ('0'..';', 0xFE, 0xFF); names and descriptions are UTF-8.
class TResultNames {
 public:
  int Count() const;
  // The entry as "code=description", UTF-8.
  std::string Entry(int position) const;
  // The code byte at position; 0 outside the table.
  char Code(int position) const;
  // Position of code, compared as a one-letter name without regard to letter case; -1 if absent.
  int IndexOfName(char code) const;
  // Description of code; empty if absent.
  std::string Value(char code) const;
  // How a result is remembered for the printed protocol: its position less one, so -1 for "not
  // recognised" and -2 for a code not in the table.
  int ResultIndex(char code) const { return IndexOfName(code) - 1; }
};
