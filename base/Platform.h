#pragma once

#include <functional>
#include <string>
#include <string_view>

// Small services of the operating system, one whole file per system (PlatformPosix.cpp,
// PlatformWin32.cpp).

// The running executable's full path; throws std::runtime_error when it cannot be found.
std::string ExecutablePath();
// The separator WorkDir ends with.
char PathSeparator();
// The user's own folder for this program's files, ending with the separator; it may not exist
// yet. Empty when the system names no such place.
std::string UserDataFolder();
// Whether folder lies where the system keeps installed programs (/usr, /opt; Program Files and a
// user's own %LOCALAPPDATA%\Programs), so that the files of the user's sessions do not belong
// there.
bool IsSystemInstallFolder(const std::string& folder);
// Whether a save may replace fileName, judged from permissions alone, with nothing created: the
// file (a link's target) must be a regular file that may be written and its folder must take new
// files; for a missing file only the folder counts. A file or folder without any write permission
// is read-only for root too, as the read-only attribute is on Windows.
bool MayReplaceFile(const std::string& fileName);
// Replaces the file with bytes in one step, so a reader sees the old file or the new one, never a
// part of either: a temporary file beside it, under a fresh name that nothing planted there can
// take, flushed to the disk and renamed over it. A link is written through to its target and
// stays a link; the old file's permissions are kept; a file that may not be written is refused.
// False on failure, with the old file as it was and no temporary file left behind.
bool WriteFileAtomically(const std::string& fileName, std::string_view bytes);
// How CreateNewFile ended.
enum class TNewFile { kCreated, kNameTaken, kDiskFull, kFailed };
// Writes bytes as a new file that replaces nothing: whole and flushed under a fresh temporary name
// beside it, then given fileName only if nothing at all stands under that name, a link (one to
// nowhere included) or another program's file made meanwhile; the folder is flushed as well. No
// link is followed. kDiskFull when the system reported a full disk; on failure nothing is left
// behind, unless the folder alone could not be flushed (kFailed with the file in place).
TNewFile CreateNewFile(const std::string& fileName, std::string_view bytes);
// Whether a system error code (errno; GetLastError on Windows) means the disk is full.
bool IsDiskFullError(int systemError);
// Writes the next bytes of a file being made; false when that failed.
using TWriteBytes = std::function<bool(std::string_view bytes)>;
// The same, with the bytes handed to write piece by piece as produce makes them, none kept here: a
// file of any size costs the memory of its largest piece. produce returns false once a piece
// failed to be written; a false or an exception from produce leaves the old file as it was, the
// exception passed on.
bool WriteFileAtomically(const std::string& fileName,
                         const std::function<bool(const TWriteBytes& write)>& produce);
// Windows-1251 <-> UTF-8 through the system's codec. Characters the other side lacks become '?'.
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);
// Creates fileName as a new, empty file; false when anything stands under that name already (a
// link included) or the file cannot be made.
bool CreateEmptyFile(const std::string& fileName);
// Gives a file a name nothing stands under yet, for good: the rename survives a power cut. False,
// with both names as they were, when something stands there already or the rename fails.
bool RenameToNewName(const std::string& from, const std::string& to);
