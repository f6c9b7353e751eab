#pragma once

#include <string>
#include <vector>

// The detector's result codes and their descriptions, in the detector's order. The code is one
// Windows-1251 byte ('0'..';', 0xFE, 0xFF); descriptions are UTF-8.
class TResultNames {
 public:
  TResultNames();

  int Count() const { return static_cast<int>(entries_.size()); }
  // The entry as "code=description", UTF-8.
  std::string Entry(int position) const;
  // Position of code, compared as a one-letter name without regard to letter case; -1 if absent.
  int IndexOfName(char code) const;
  // Description of code; empty if absent.
  std::string Value(char code) const;

 private:
  struct TEntry {
    char code;
    std::string description;
  };
  std::vector<TEntry> entries_;
};
