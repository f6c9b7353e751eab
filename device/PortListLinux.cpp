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
