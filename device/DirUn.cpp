#include "device/DirUn.h"

#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/Platform.h"
#include "base/TextFile.h"
#include "device/GuiLink.h"

std::string WorkDir;

namespace {

// The user's data folder, where files go that may not be written in WorkDir; empty when the
// system names none.
std::string g_userFolder;

bool InUserFolder(const std::string& name) {
  return !g_userFolder.empty() && FileExists(g_userFolder + name);
}

}  // namespace

std::string WorkDirFromExePath(const std::string& exePath, char separator) {
  const std::size_t last = exePath.rfind(separator);
  std::string dir = last == std::string::npos ? std::string() : exePath.substr(0, last + 1);
  if (dir.empty() || dir.back() != separator) dir += separator;
  return dir;
}

bool SetWorkDirs() {
  try {
    const std::string own = WorkDirFromExePath(ExecutablePath(), PathSeparator());
    SetWorkDirsFor(own, UserDataFolder(), IsSystemInstallFolder(own));
    return true;
  } catch (const std::exception&) {
    WorkDir.clear();
    g_userFolder.clear();
    GuiLink().ShowMessage("Установить рабочие директории не удалось", "Ошибка", TMsgIcon::Error,
                          false);
    return false;
  }
}

void SetWorkDirsFor(const std::string& ownFolder, const std::string& userFolder, bool installed) {
  // The folder of an installed program belongs to the system: nothing is read or written there,
  // whoever runs it.
  if (installed && userFolder.empty()) throw std::runtime_error("no folder for the user's files");
  WorkDir = installed ? userFolder : ownFolder;
  g_userFolder = userFolder;
}

std::string FileToRead(const std::string& name) {
  return InUserFolder(name) ? g_userFolder + name : WorkDir + name;
}

std::string FolderOf(const std::string& name) {
  const bool toUserFolder =
      !g_userFolder.empty() &&
      (WorkDir == g_userFolder || InUserFolder(name) || !MayReplaceFile(WorkDir + name));
  return toUserFolder ? g_userFolder : WorkDir;
}

std::string FileToWrite(const std::string& name) {
  const std::string folder = FolderOf(name);
  if (!g_userFolder.empty() && folder == g_userFolder) {
    // A folder that cannot be made shows up as the write's own error a moment later.
    std::error_code ec;
    std::filesystem::create_directories(FilePath(folder), ec);
  }
  return folder + name;
}

bool RemoveWorkFile(const std::string& name) {
  RemoveFile(WorkDir + name);
  if (!g_userFolder.empty()) RemoveFile(g_userFolder + name);
  return !FileExists(WorkDir + name) && !InUserFolder(name);
}
