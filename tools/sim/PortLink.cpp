#include "tools/sim/PortLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvz03sim {

bool PortLink::PointAt(const std::string& target, std::string* error) {
  if (!enabled()) return true;
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    *error = path_ + ": exists and is not a symlink";
    return false;
  }
  const std::string temp = path_ + ".tmp-" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), path_.c_str()) != 0) {
    *error = path_ + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  target_ = target;
  return true;
}

void PortLink::Remove() {
  if (target_.empty()) return;
  char current[4096];
  const ssize_t length = ::readlink(path_.c_str(), current, sizeof current);
  if (length >= 0 && std::string(current, static_cast<std::size_t>(length)) == target_)
    ::unlink(path_.c_str());
  target_.clear();
}

}  // namespace kvz03sim
