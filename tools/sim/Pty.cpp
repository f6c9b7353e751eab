#include "tools/sim/Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace kvz03sim {
namespace {

bool AddFdFlags(int fd, int get, int set, int flags) {
  const int current = ::fcntl(fd, get);
  return current >= 0 && ::fcntl(fd, set, current | flags) == 0;
}

}  // namespace

std::optional<Pty> Pty::Create(std::string* error) {
  const auto fail = [error](const char* what) -> std::optional<Pty> {
    *error = std::string(what) + ": " + std::strerror(errno);
    return std::nullopt;
  };

  Pty pty;
  pty.master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY));
  if (!pty.master_.valid()) return fail("posix_openpt");
  const int master = pty.master_.get();
  if (::grantpt(master) != 0) return fail("grantpt");
  if (::unlockpt(master) != 0) return fail("unlockpt");
  const char* name = ::ptsname(master);
  if (name == nullptr) return fail("ptsname");
  pty.slave_path_ = name;

  // A program that stops reading must never block the simulator's stdin handling.
  if (!AddFdFlags(master, F_GETFL, F_SETFL, O_NONBLOCK)) return fail("fcntl(master)");
  if (!AddFdFlags(master, F_GETFD, F_SETFD, FD_CLOEXEC)) return fail("fcntl(master)");

  pty.slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty.slave_.valid()) return fail(name);

  // Without raw mode the line discipline would echo the program's commands back at it and
  // rewrite frame bytes such as CR; a real serial port does neither.
  termios tio{};
  if (::tcgetattr(pty.slave_.get(), &tio) != 0) return fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(pty.slave_.get(), TCSANOW, &tio) != 0) return fail("tcsetattr");
  return pty;
}

std::size_t Pty::UnreadBySlave() const {
  int count = 0;
  if (::ioctl(slave_.get(), FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<std::size_t>(count);
}

void Pty::DiscardUnread() {
  ::tcflush(slave_.get(), TCIFLUSH);
}

}  // namespace kvz03sim
