#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "device/PortList.h"

namespace {

// On-board UART slots are listed whether or not a chip sits behind them; the driver marks the
// empty ones with port type 0. Trying one costs a five-second open attempt, so they are left out.
bool IsPhantomUart(const std::filesystem::path& entry) {
  std::ifstream type(entry / "type");
  int code = -1;
  return type >> code && code == 0;
}

}  // namespace

std::string DefaultPortSource() {
  return "/sys";
}

bool ReadSystemPortNames(TStringList& names, const std::string& source) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator dir(fs::path(source) / "class" / "tty", ec);
  if (ec) return false;
  TStringList found;
  for (const fs::directory_entry& entry : dir) {
    // Only terminals backed by hardware have a device link; consoles and ptys have none.
    if (!fs::exists(entry.path() / "device", ec)) continue;
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyS", 0) == 0 && IsPhantomUart(entry.path())) continue;
    found.push_back(name);
  }
  SortPortNames(found);
  names = std::move(found);
  return true;
}

std::string PortIdentity(const std::string& portName) {
  if (portName.empty()) return "";
  const std::string path = portName.front() == '/' ? portName : "/dev/" + portName;
  // A device node made anew, or a link to it made anew (a USB adapter plugged in again, its
  // /dev/serial/by-id link), has a new inode or a new change time even under the same name.
  struct stat node {};
  struct stat name {};
  if (stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode) || lstat(path.c_str(), &name) != 0)
    return "";
  std::string identity;
  for (const struct stat* s : {&node, &name}) {
    for (const auto n :
         {static_cast<unsigned long long>(s->st_rdev), static_cast<unsigned long long>(s->st_ino),
          static_cast<unsigned long long>(s->st_ctim.tv_sec),
          static_cast<unsigned long long>(s->st_ctim.tv_nsec)})
      identity += std::to_string(n) + ":";
  }
  return identity;
}
