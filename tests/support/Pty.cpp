#include "tests/support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

Pty::Pty() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  slavePath_ = ptsname(master_);
  // Holding the slave open keeps the master from seeing a hang-up whenever the code under test
  // closes its end; raw mode keeps the line discipline from echoing frames back.
  slaveKeeper_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeeper_ < 0) throw std::runtime_error("cannot open " + slavePath_);
  termios tio{};
  tcgetattr(slaveKeeper_, &tio);
  cfmakeraw(&tio);
  tcsetattr(slaveKeeper_, TCSANOW, &tio);
}

Pty::~Pty() {
  Hangup();
}

void Pty::Send(const std::string& bytes) {
  if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("pty write failed");
}

std::string Pty::Receive(int timeoutMs) {
  std::string got;
  pollfd p{master_, POLLIN, 0};
  while (poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0) {
    char buffer[256];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
    timeoutMs = 20;
  }
  return got;
}

void Pty::Hangup() {
  if (slaveKeeper_ >= 0) close(slaveKeeper_);
  if (master_ >= 0) close(master_);
  slaveKeeper_ = master_ = -1;
}
