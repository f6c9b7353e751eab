#include "PortList.h"

#include <algorithm>

namespace {

char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
  });
}

}  // namespace

void SortPortNames(TStringList& names) {
  // Stable, so names that differ only in case keep the order the system gave them.
  std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
}
