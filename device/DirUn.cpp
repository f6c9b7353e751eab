#include "DirUn.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "GuiLink.h"
#include "Platform.h"
#include "TextFile.h"

std::string WorkDir;

namespace {

bool g_workDirIsUserFolder = false;

}  // namespace

std::string WorkDirFromExePath(const std::string& exePath, char separator) {
  const std::size_t last = exePath.rfind(separator);
  std::string dir = last == std::string::npos ? std::string() : exePath.substr(0, last + 1);
  if (dir.empty() || dir.back() != separator) dir += separator;
  return dir;
}

bool FolderWritable(const std::string& folder) {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::filesystem::path probe =
      FilePath(folder) / (".kvz03-write-test-" + std::to_string(stamp));
  bool writable = false;
  {
    std::ofstream out(probe, std::ios::binary);
    writable = out.good();
  }
  std::error_code ec;
  std::filesystem::remove(probe, ec);
  return writable;
}

bool SetWorkDirs() {
  try {
    SetWorkDirsFor(WorkDirFromExePath(ExecutablePath(), PathSeparator()));
    return true;
  } catch (const std::exception&) {
    GuiLink().ShowMessage("Установить рабочие директории не удалось", "Ошибка", TMsgIcon::Error,
                          false);
    return false;
  }
}

void SetWorkDirsFor(const std::string& ownFolder) {
  const bool useUserFolder = !FolderWritable(ownFolder);
  WorkDir = useUserFolder ? UserDataFolder() : ownFolder;
  g_workDirIsUserFolder = useUserFolder;
}

void EnsureWorkDir() {
  if (!g_workDirIsUserFolder) return;
  // A folder that cannot be made shows up as the write's own error a moment later.
  std::error_code ec;
  std::filesystem::create_directories(FilePath(WorkDir), ec);
}
