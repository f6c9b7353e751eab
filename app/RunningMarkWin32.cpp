// While the program runs, a named mutex tells the installer and the uninstaller so: replacing or
// removing the executable of a running program fails on a locked file, and they ask the operator
// to close it first rather than leave the old copy and report success.
//
// The name is in the session's own namespace (Local\): the installer runs in the operator's
// session whether it installs for this user or, elevated, for all users, and sees the program
// started there. A copy another user runs in another session uses its own files in a per-user
// install, so it must not hold up this one; in a shared install it holds the executable open,
// which the installer checks as well.
#include <windows.h>

namespace {

class TRunningMark {
 public:
  // Without the mark the program still runs; the installer then finds the executable locked.
  TRunningMark() : handle_(CreateMutexW(nullptr, FALSE, L"Local\\KVZ-03.Running")) {}
  ~TRunningMark() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  TRunningMark(const TRunningMark&) = delete;
  TRunningMark& operator=(const TRunningMark&) = delete;

 private:
  HANDLE handle_;
};

// Made before main and held until the process ends.
const TRunningMark g_runningMark;

}  // namespace
