#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include "base/Platform.h"

namespace {

// Length of the UTF-8 sequence that begins with lead, so an unconvertible character is skipped
// whole and becomes one '?'.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string Convert(std::string_view text, const char* to, const char* from, bool fromUtf8) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no Windows-1251 codec");
  std::string out;
  std::vector<char> chunk(4 * text.size() + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = chunk.data();
    std::size_t outLeft = chunk.size();
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(chunk.data(), static_cast<std::size_t>(outPtr - chunk.data()));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      std::size_t skip = fromUtf8 ? Utf8SequenceLength(static_cast<unsigned char>(*in)) : 1;
      if (skip > inLeft) skip = inLeft;
      in += skip;
      inLeft -= skip;
      out.push_back('?');
    }
  }
  iconv_close(cd);
  return out;
}

// Root may write wherever the permissions say no; a file or folder without a single write bit is
// still meant to stay as it is.
bool HasWriteBit(mode_t mode) {
  return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool MayWrite(const std::string& path, int how) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && HasWriteBit(st.st_mode) &&
         faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool MayCreateIn(const std::string& folder) {
  struct stat st {};
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && MayWrite(folder, W_OK | X_OK);
}

// The file a save replaces: a link's final target, else the name itself. False when the name is a
// link to nowhere (writing would create a file wherever it points) or cannot be examined.
bool SaveTarget(const std::string& fileName, std::string& target, struct stat& st, bool& exists) {
  target = fileName;
  exists = false;
  if (lstat(fileName.c_str(), &st) != 0) return errno == ENOENT;
  if (S_ISLNK(st.st_mode)) {
    char* real = realpath(fileName.c_str(), nullptr);
    if (real == nullptr) return false;
    target = real;
    std::free(real);
    if (stat(target.c_str(), &st) != 0) return false;
  }
  exists = true;
  return true;
}

// Only a regular file is replaced (a folder, a device node or a pipe under the name is refused),
// and only in a folder that takes new files, since the new file is made beside the old one.
bool MayReplace(const std::string& target, const struct stat& st, bool exists) {
  if (exists && !(S_ISREG(st.st_mode) && MayWrite(target, W_OK))) return false;
  return MayCreateIn(FolderOf(target));
}

// A new file beside target under a random name. O_EXCL with O_NOFOLLOW never opens what stands
// under the name already, a planted link included; another name is tried then.
int CreateTemporary(const std::string& target, mode_t mode, std::string& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", random(), random());
    name = target + suffix;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the new file the old one's owner (root only may; anyone else owns what he writes, as with
// a copy made by hand) and its permissions.
bool TakeOver(int fd, const struct stat& old) {
  if (geteuid() == 0 && fchown(fd, old.st_uid, old.st_gid) != 0) return false;
  return fchmod(fd, old.st_mode & 07777) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes the rename itself survive a power cut.
bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot sync a folder at all; they give EINVAL, and there is nothing to wait
  // for then.
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  return close(fd) == 0 && synced;
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size())
    throw std::runtime_error("the executable's path is unknown");
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

char PathSeparator() {
  return '/';
}

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/kvz03/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::string();
  return std::string(home) + "/.local/share/kvz03/";
}

bool IsSystemInstallFolder(const std::string& folder) {
  for (const char* prefix : {"/usr/", "/opt/", "/bin/", "/sbin/"}) {
    if (folder.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

bool MayReplaceFile(const std::string& fileName) {
  std::string target;
  struct stat st {};
  bool exists = false;
  return SaveTarget(fileName, target, st, exists) && MayReplace(target, st, exists);
}

bool WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
  return WriteFileAtomically(fileName, [bytes](const TWriteBytes& write) { return write(bytes); });
}

bool WriteFileAtomically(const std::string& fileName,
                         const std::function<bool(const TWriteBytes& write)>& produce) {
  std::string target;
  struct stat old {};
  bool exists = false;
  if (!SaveTarget(fileName, target, old, exists) || !MayReplace(target, old, exists)) return false;
  std::string temporary;
  // A new file gets the permissions the user's umask gives; an old one's are copied below.
  const int fd = CreateTemporary(target, exists ? 0600 : 0666, temporary);
  if (fd < 0) return false;
  bool ok = false;
  try {
    ok = (!exists || TakeOver(fd, old)) &&
         produce([fd](std::string_view bytes) { return WriteAll(fd, bytes); }) && fsync(fd) == 0;
  } catch (...) {
    close(fd);
    unlink(temporary.c_str());
    throw;
  }
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  return SyncFolder(FolderOf(target));
}

TNewFile CreateNewFile(const std::string& fileName, std::string_view bytes) {
  const auto failure = [](int error) {
    if (error == EEXIST) return TNewFile::kNameTaken;
    return IsDiskFullError(error) ? TNewFile::kDiskFull : TNewFile::kFailed;
  };
  std::string temporary;
  const int fd = CreateTemporary(fileName, 0666, temporary);
  if (fd < 0) return failure(errno);
  const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  const int writeError = errno;
  if (close(fd) != 0 || !written) {
    const int error = written ? errno : writeError;
    unlink(temporary.c_str());
    return failure(error);
  }
  if (!RenameToNewName(temporary, fileName)) {
    const int error = errno;
    unlink(temporary.c_str());
    return failure(error);
  }
  return TNewFile::kCreated;
}

bool IsDiskFullError(int systemError) {
  return systemError == ENOSPC || systemError == EDQUOT;
}

std::string Cp1251ToUtf8(std::string_view text) {
  return Convert(text, "UTF-8", "CP1251", false);
}

std::string Utf8ToCp1251(std::string_view text) {
  return Convert(text, "CP1251", "UTF-8", true);
}

bool CreateEmptyFile(const std::string& fileName) {
  const int fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  return fd >= 0 && close(fd) == 0;
}

bool RenameToNewName(const std::string& from, const std::string& to) {
  // A plain rename replaces what stands at the new name. A file system that cannot refuse that
  // (EINVAL) still has links, which never replace anything.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL || link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
  }
  return SyncFolder(FolderOf(to));
}
