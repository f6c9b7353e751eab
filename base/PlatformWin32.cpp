#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <random>
#include <stdexcept>
#include <vector>

#include "base/Platform.h"
#include "base/Win32Text.h"

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

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

// Whether the access rights of the file or folder at path grant the process access, asked of the
// system's own check on its security descriptor; a right that cannot be told counts as refused.
bool Granted(const std::wstring& path, DWORD access) {
  const SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), parts, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> descriptor(size);
  if (!GetFileSecurityW(path.c_str(), parts, descriptor.data(), size, &size)) return false;
  HANDLE process = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)) return false;
  HANDLE token = nullptr;
  const BOOL duplicated = DuplicateToken(process, SecurityImpersonation, &token);
  CloseHandle(process);
  if (!duplicated) return false;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  const BOOL checked = AccessCheck(descriptor.data(), token, access, &mapping, &privileges,
                                   &privilegesSize, &granted, &allowed);
  CloseHandle(token);
  return checked && allowed;
}

// The file a save replaces: a link's final target, else the name itself. False when the name is a
// link to nowhere or cannot be examined. attributes are the target's, INVALID_FILE_ATTRIBUTES for a
// missing file.
bool SaveTarget(const std::wstring& name, std::wstring& target, DWORD& attributes) {
  target = name;
  attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  const HANDLE file =
      CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), MAX_PATH, FILE_NAME_NORMALIZED);
  if (length >= MAX_PATH) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(file, buffer.data(), length + 1, FILE_NAME_NORMALIZED);
  }
  CloseHandle(file);
  if (length == 0 || length >= buffer.size()) return false;
  target.assign(buffer.data(), length);
  attributes = GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

// Only a regular file that is not marked read-only is replaced, in a folder that takes new files.
bool MayReplace(const std::wstring& target, DWORD attributes) {
  const DWORD refused = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      ((attributes & refused) != 0 || !Granted(target, FILE_WRITE_DATA)))
    return false;
  return Granted(FolderOf(target), FILE_ADD_FILE);
}

// A new file beside target under a random name; CREATE_NEW never opens what stands under the name
// already, a planted link included, and another name is tried then.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".%08x%08x.tmp", random(), random());
    name = target + suffix;
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE ||
        (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS))
      return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
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
  const std::wstring folder = EnvironmentValue(L"LOCALAPPDATA");
  return folder.empty() ? std::string() : WideToUtf8(folder) + "\\kvz03\\";
}

bool IsSystemInstallFolder(const std::string& folder) {
  const std::wstring path = Utf8ToWide(folder);
  const auto under = [&path](std::wstring prefix) {
    if (prefix.empty()) return false;
    if (prefix.back() != L'\\') prefix += L'\\';
    return path.size() >= prefix.size() &&
           CompareStringOrdinal(path.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
  };
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"})
    if (under(EnvironmentValue(name))) return true;
  // Where an installer puts a program for one user only, without an administrator.
  const std::wstring local = EnvironmentValue(L"LOCALAPPDATA");
  return !local.empty() && under(local + L"\\Programs");
}

bool MayReplaceFile(const std::string& fileName) {
  std::wstring target;
  DWORD attributes = 0;
  const std::wstring name = Utf8ToWide(fileName);
  return !name.empty() && SaveTarget(name, target, attributes) && MayReplace(target, attributes);
}

bool WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
  return WriteFileAtomically(fileName, [bytes](const TWriteBytes& write) { return write(bytes); });
}

bool WriteFileAtomically(const std::string& fileName,
                         const std::function<bool(const TWriteBytes& write)>& produce) {
  std::wstring target;
  DWORD attributes = 0;
  const std::wstring name = Utf8ToWide(fileName);
  if (name.empty() || !SaveTarget(name, target, attributes) || !MayReplace(target, attributes))
    return false;
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  std::wstring temporary;
  const HANDLE file = CreateTemporary(target, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  try {
    ok = produce([file](std::string_view bytes) { return WriteAll(file, bytes); }) &&
         FlushFileBuffers(file);
  } catch (...) {
    CloseHandle(file);
    DeleteFileW(temporary.c_str());
    throw;
  }
  ok = CloseHandle(file) && ok;
  // ReplaceFileW keeps the old file's attributes and access rights on the new one.
  if (ok && exists) {
    ok = ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr);
  } else if (ok) {
    ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

TNewFile CreateNewFile(const std::string& fileName, std::string_view bytes) {
  const auto failure = [](DWORD error) {
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return TNewFile::kNameTaken;
    return IsDiskFullError(static_cast<int>(error)) ? TNewFile::kDiskFull : TNewFile::kFailed;
  };
  const std::wstring name = Utf8ToWide(fileName);
  if (name.empty()) return TNewFile::kFailed;
  std::wstring temporary;
  const HANDLE file = CreateTemporary(name, temporary);
  if (file == INVALID_HANDLE_VALUE) return failure(GetLastError());
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  DWORD error = GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    error = GetLastError();
  }
  if (ok) {
    ok = RenameToNewName(WideToUtf8(temporary), fileName);
    error = GetLastError();
  }
  if (ok) return TNewFile::kCreated;
  DeleteFileW(temporary.c_str());
  return failure(error);
}

bool IsDiskFullError(int systemError) {
  return systemError == ERROR_DISK_FULL || systemError == ERROR_HANDLE_DISK_FULL;
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

bool CreateEmptyFile(const std::string& fileName) {
  const std::wstring name = Utf8ToWide(fileName);
  if (name.empty()) return false;
  const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

bool RenameToNewName(const std::string& from, const std::string& to) {
  const std::wstring source = Utf8ToWide(from);
  const std::wstring target = Utf8ToWide(to);
  // Without MOVEFILE_REPLACE_EXISTING the move refuses a name that is taken.
  return !source.empty() && !target.empty() &&
         MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
}
