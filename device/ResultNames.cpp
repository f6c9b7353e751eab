#include "ResultNames.h"

#include "Platform.h"

namespace {

// Folds one Windows-1251 letter to lower case through its Unicode code point: ASCII capitals and
// the Cyrillic capitals (Ё..Я and the Ukrainian and Belarusian letters of the code page).
char32_t LowerCodePoint(char code) {
  const std::string utf8 = Cp1251ToUtf8(std::string(1, code));
  char32_t cp = 0;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  if (utf8.size() == 1) {
    cp = b(0);
  } else if (utf8.size() == 2) {
    cp = ((b(0) & 0x1Fu) << 6) | (b(1) & 0x3Fu);
  } else if (utf8.size() == 3) {
    cp = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
  }
  if (cp >= U'A' && cp <= U'Z') return cp + 0x20;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
  if (cp == 0x490) return 0x491;
  return cp;
}

}  // namespace

TResultNames::TResultNames()
    : entries_{{'0', "сплав не опознан"},
               {'1', "Золото 375 пробы (9kt)"},
               {'2', "Золото 585 пробы (14kt, не стандарт)"},
               {'3', "Золото 585 пробы (14kt, стандарт)"},
               {'4', "Золото 750 пробы (18kt)"},
               {'5', "Золото 958 пробы (23kt)"},
               {'6', "Золото 999 пробы (24kt)"},
               {'7', "Серебро до 800 пробы"},
               {'8', "Серебро 800 пробы и более"},
               {'9', "Палладий"},
               {':', "Белое золото"},
               {';', "Платина и сплавы"},
               {'\xFE', "повторите тест"},
               {'\xFF', "не драгметалл"}} {}

std::string TResultNames::Entry(int position) const {
  const TEntry& e = entries_.at(static_cast<std::size_t>(position));
  return Cp1251ToUtf8(std::string(1, e.code)) + "=" + e.description;
}

int TResultNames::IndexOfName(char code) const {
  const char32_t wanted = LowerCodePoint(code);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (LowerCodePoint(entries_[i].code) == wanted) return static_cast<int>(i);
  }
  return -1;
}

std::string TResultNames::Value(char code) const {
  const int i = IndexOfName(code);
  return i < 0 ? std::string() : entries_[static_cast<std::size_t>(i)].description;
}
