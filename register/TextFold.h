#pragma once

#include <string>
#include <string_view>

// Letter case folded for searching UTF-8 text: the Latin letters A-Z and every Cyrillic letter of
// Windows-1251, the program's whole alphabet (Russian with Ё, and the Ukrainian, Belarusian and
// Serbian letters), become lower case, and Ё and ё become е, as a Russian reader takes them;
// everything else, other scripts included, stays as it is.
// A folded word occurs in a folded text exactly where it occurs ignoring case, as every letter
// keeps its length in bytes. Appends to out.
void AppendFoldedCase(std::string& out, std::string_view text);

inline std::string FoldedCase(std::string_view text) {
  std::string out;
  AppendFoldedCase(out, text);
  return out;
}
