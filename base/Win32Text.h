#pragma once

#include <string>

// UTF-8 <-> UTF-16 for the wide Windows API; defined in PlatformWin32.cpp. Invalid UTF-8 becomes
// U+FFFD rather than failing the whole text.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
