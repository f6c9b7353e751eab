#pragma once

#include <string>
#include <string_view>

// Small services of the operating system, one whole file per system (PlatformPosix.cpp,
// PlatformWin32.cpp).

// The running executable's full path; throws std::runtime_error when it cannot be found.
std::string ExecutablePath();
// The separator WorkDir ends with.
char PathSeparator();
// The user's own folder for this program's files, ending with the separator; it may not exist
// yet. Throws std::runtime_error when the system names no such place.
std::string UserDataFolder();
// Puts source in place of target in one step, so a reader sees the old file or the new one, never
// a part of either. False on failure; source is then left behind for the caller to remove.
bool ReplaceFileWith(const std::string& source, const std::string& target);
// Windows-1251 <-> UTF-8 through the system's codec. Characters the other side lacks become '?'.
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);
