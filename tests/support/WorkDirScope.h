#pragma once

#include <string>

#include "device/DirUn.h"

// The program's working folder for one scope, set as SetWorkDirsFor sets it; at the scope's end
// the folder before is back, with no user's folder (no test nests one).
class WorkDirScope {
 public:
  explicit WorkDirScope(const std::string& own, const std::string& user = "",
                        bool installed = false)
      : before_(WorkDir) {
    SetWorkDirsFor(own, user, installed);
  }
  ~WorkDirScope() { SetWorkDirsFor(before_, "", false); }
  WorkDirScope(const WorkDirScope&) = delete;
  WorkDirScope& operator=(const WorkDirScope&) = delete;

 private:
  std::string before_;
};
