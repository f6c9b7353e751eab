#include <windows.h>

#include <stdexcept>
#include <vector>

#include "Platform.h"
#include "Win32Text.h"

namespace {

constexpr UINT kCyrillicCodePage = 1251;

std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(UINT codePage, DWORD flags, std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  // The UTF-8 conversion refuses a default character; the code page one needs it for '?'.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int length =
      WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, fallback, nullptr);
  if (length <= 0) return std::string();
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), length, fallback, nullptr);
  return out;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  return ToWide(CP_UTF8, 0, text);
}

std::string WideToUtf8(const std::wstring& text) {
  return FromWide(CP_UTF8, 0, text);
}

std::string ExecutablePath() {
  // The path may be longer than MAX_PATH; a full buffer means it was cut, so try a bigger one.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) throw std::runtime_error("the executable's path is unknown");
    if (n < size) return WideToUtf8(std::wstring(buffer.data(), n));
    if (buffer.size() >= 32768) throw std::runtime_error("the executable's path is too long");
    buffer.resize(buffer.size() * 2);
  }
}

char PathSeparator() {
  return '\\';
}

std::string UserDataFolder() {
  const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (size == 0) throw std::runtime_error("no local application data folder");
  std::wstring folder(size, L'\0');
  folder.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), size));
  return WideToUtf8(folder) + "\\kvz03\\";
}

bool ReplaceFileWith(const std::string& source, const std::string& target) {
  const std::wstring from = Utf8ToWide(source);
  const std::wstring to = Utf8ToWide(target);
  if (from.empty() || to.empty()) return false;
  return MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::string Cp1251ToUtf8(std::string_view text) {
  // Every byte has a meaning in the system's table; a byte the code page leaves undefined comes
  // out as the table's default character.
  return FromWide(CP_UTF8, 0, ToWide(kCyrillicCodePage, 0, text));
}

std::string Utf8ToCp1251(std::string_view text) {
  std::wstring wide = ToWide(CP_UTF8, 0, text);
  // A character outside the basic plane is two UTF-16 units; it must still become one '?', as a
  // character the code page lacks always does.
  std::wstring single;
  single.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
    single.push_back(high || low ? L'?' : c);
  }
  // No best fit: a character the code page lacks becomes '?', not a look-alike letter.
  return FromWide(kCyrillicCodePage, WC_NO_BEST_FIT_CHARS, single);
}
