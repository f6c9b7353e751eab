#include "register/TextFold.h"

namespace {

constexpr char32_t kSmallIo = 0x451;  // ё
constexpr char32_t kSmallIe = 0x435;  // е

// The capitals of the Cyrillic block that Windows-1251 holds, as code points: Ѐ..Џ lie 0x50 and
// А..Я 0x20 below their small letters, Ґ just before its own. Ё and ё then become е: Russian
// writing leaves the dots off as often as not, so "Семенов" must find "Семёнов" and back.
char32_t FoldCyrillic(char32_t c) {
  if (c >= 0x400 && c <= 0x40F) c += 0x50;
  if (c >= 0x410 && c <= 0x42F) c += 0x20;
  if (c == 0x490) c += 1;
  return c == kSmallIo ? kSmallIe : c;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

void AppendFoldedCase(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 'A' && lead <= 'Z') {
      out += static_cast<char>(lead - 'A' + 'a');
    } else if (lead >= 0xD0 && lead <= 0xD2 && i + 1 < text.size() &&
               IsContinuation(static_cast<unsigned char>(text[i + 1]))) {
      // Two bytes, U+0400..U+04BF; the folded letter stays in that range.
      const char32_t c = FoldCyrillic(static_cast<char32_t>(
          ((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F)));
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
      ++i;
    } else {
      out += text[i];
    }
  }
}
