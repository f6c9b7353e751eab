#include "DirUn.h"

#include <exception>

#include "GuiLink.h"
#include "Platform.h"

std::string WorkDir;

std::string WorkDirFromExePath(const std::string& exePath, char separator) {
  const std::size_t last = exePath.rfind(separator);
  std::string dir = last == std::string::npos ? std::string() : exePath.substr(0, last + 1);
  if (dir.empty() || dir.back() != separator) dir += separator;
  return dir;
}

bool SetWorkDirs() {
  try {
    WorkDir = WorkDirFromExePath(ExecutablePath(), PathSeparator());
    return true;
  } catch (const std::exception&) {
    GuiLink().ShowMessage("Установить рабочие директории не удалось", "Ошибка", TMsgIcon::Error,
                          false);
    return false;
  }
}
