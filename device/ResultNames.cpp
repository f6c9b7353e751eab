#include "device/ResultNames.h"

#include <iterator>
#include <stdexcept>

namespace {

struct TEntry {
  char code;
  const char* name;  // the code as UTF-8
  const char* description;
};

constexpr TEntry kEntries[] = {{'0', "0", "сплав не опознан"},
                               {'1', "1", "Золото 375 пробы (9kt)"},
                               {'2', "2", "Золото 585 пробы (14kt, не стандарт)"},
                               {'3', "3", "Золото 585 пробы (14kt, стандарт)"},
                               {'4', "4", "Золото 750 пробы (18kt)"},
                               {'5', "5", "Золото 958 пробы (23kt)"},
                               {'6', "6", "Золото 999 пробы (24kt)"},
                               {'7', "7", "Серебро до 800 пробы"},
                               {'8', "8", "Серебро 800 пробы и более"},
                               {'9', "9", "Палладий"},
                               {':', ":", "Белое золото"},
                               {';', ";", "Платина и сплавы"},
                               {'\xFE', "ю", "повторите тест"},
                               {'\xFF', "я", "не драгметалл"}};

constexpr int kCount = static_cast<int>(std::size(kEntries));

// Lower case of a Windows-1251 byte for the ASCII and the Russian capitals. The code page's other
// Cyrillic capitals are left as they are: their small letters are no code, so folding them could
// change no lookup.
unsigned char FoldCode(char code) {
  const auto c = static_cast<unsigned char>(code);
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
    return static_cast<unsigned char>(c + 0x20);
  return c;
}

}  // namespace

int TResultNames::Count() const {
  return kCount;
}

std::string TResultNames::Entry(int position) const {
  if (position < 0 || position >= kCount) throw std::out_of_range("no result at this position");
  const TEntry& e = kEntries[position];
  return std::string(e.name) + "=" + e.description;
}

char TResultNames::Code(int position) const {
  return position >= 0 && position < kCount ? kEntries[position].code : '\0';
}

int TResultNames::IndexOfName(char code) const {
  const unsigned char wanted = FoldCode(code);
  for (int i = 0; i < kCount; ++i) {
    if (FoldCode(kEntries[i].code) == wanted) return i;
  }
  return -1;
}

std::string TResultNames::Value(char code) const {
  const int i = IndexOfName(code);
  return i < 0 ? std::string() : kEntries[i].description;
}
