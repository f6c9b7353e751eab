#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/serial.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <string_view>
#include <thread>
#include <utility>

#include "device/CommonProcUn.h"
#include "device/SerialLine.h"

namespace {

bool SpeedCode(std::uint32_t baud, speed_t& code) {
  static const struct {
    std::uint32_t baud;
    speed_t code;
  } kSpeeds[] = {{110, B110},       {300, B300},      {600, B600},       {1200, B1200},
                 {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                 {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                 {460800, B460800}, {921600, B921600}};
  for (const auto& s : kSpeeds) {
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  }
  return false;
}

TOpenError ReasonOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return TOpenError::AccessDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
      return TOpenError::NotFound;
    case EBUSY:
    case EWOULDBLOCK:
      return TOpenError::Busy;
    default:
      return TOpenError::Other;
  }
}

// Unix98 pseudo-terminal slaves: the kernel keeps these majors for them and lists them in no
// device class.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;
// /dev/tty, /dev/console and /dev/ptmx: the tty class lists them, but each stands for another
// terminal or makes a new pseudo-terminal when opened; none is a port in its own right.
constexpr unsigned kTtyAliasMajor = 5;

// Whether a character device is a terminal, found without opening it: opening is an action of
// its own for some devices (a watchdog starts counting down).
bool IsTerminal(dev_t device) {
  const unsigned majorNumber = major(device);
  if (majorNumber >= kPtySlaveMajorFirst && majorNumber <= kPtySlaveMajorLast) return true;
  if (majorNumber == kTtyAliasMajor) return false;
  const std::string subsystem = "/sys/dev/char/" + std::to_string(majorNumber) + ":" +
                                std::to_string(minor(device)) + "/subsystem";
  char target[PATH_MAX];
  const ssize_t n = readlink(subsystem.c_str(), target, sizeof target);
  constexpr std::string_view kTtyClass = "/class/tty";
  return n >= static_cast<ssize_t>(kTtyClass.size()) &&
         std::string_view(target, static_cast<std::size_t>(n)).ends_with(kTtyClass);
}

// Framing, parity and overrun errors and breaks the driver has counted. False where it keeps no
// such counts: pseudo-terminals and some USB adapters refuse the request, and on them a hang-up
// is the only line error there is to see.
bool LineErrorCount(int fd, std::uint64_t& total) {
  serial_icounter_struct c{};
  if (ioctl(fd, TIOCGICOUNT, &c) != 0) return false;
  total = 0;
  for (const int n : {c.frame, c.parity, c.overrun, c.buf_overrun, c.brk})
    total += static_cast<std::uint32_t>(n);
  return true;
}

// What a call on a port whose device is gone fails with: a hung-up terminal answers EIO, a
// removed one ENXIO or ENODEV.
bool PortGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

class TPosixLine final : public TSerialLine {
 public:
  // What the driver counted before belongs to whoever used the port earlier.
  TPosixLine(int fd, const termios& found) : fd_(fd), found_(found) {
    LineErrorCount(fd_, errors_);
  }
  ~TPosixLine() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Close() override {
    const int fd = std::exchange(fd_, -1);
    // The port goes back to the settings it had, so that trying a port that turns out not to be
    // the detector leaves it as it was. A device that has vanished has no settings to go back to.
    const bool restored =
        tcsetattr(fd, TCSANOW, &found_) == 0 || errno == EIO || errno == ENXIO || errno == ENODEV;
    // The exclusive flag belongs to the terminal, not to this descriptor: left set, it would keep
    // refusing opens while anything else still holds the device.
    ioctl(fd, TIOCNXCL);
    return ::close(fd) == 0 && restored;
  }

  bool Configure(const TMyComPortParams& params) override {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    speed_t speed{};
    if (!SpeedCode(params.BaudRate, speed)) return false;
    // Raw bytes in both directions: frames must pass untouched by line editing, echo or
    // translation. Hardware flow control stays as the port had it.
    const tcflag_t flowControl = tio.c_cflag & CRTSCTS;
    cfmakeraw(&tio);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS)) |
                  flowControl | CLOCAL | CREAD;
    switch (params.ByteSize) {
      case 5:
        tio.c_cflag |= CS5;
        break;
      case 6:
        tio.c_cflag |= CS6;
        break;
      case 7:
        tio.c_cflag |= CS7;
        break;
      case 8:
        tio.c_cflag |= CS8;
        break;
      default:
        return false;
    }
    switch (params.Parity) {
      case 0:
        break;
      case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
      case 2:
        tio.c_cflag |= PARENB;
        break;
      case 3:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
      default:
        return false;
    }
    // A POSIX line knows one or two stop bits, not one and a half.
    switch (params.StopBits) {
      case 0:
        break;
      case 2:
        tio.c_cflag |= CSTOPB;
        break;
      default:
        return false;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return false;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0 || tcflush(fd_, TCIOFLUSH) != 0) return false;
    // Errors counted under the old settings belong to bytes just discarded.
    LineErrorCount(fd_, errors_);
    return true;
  }

  bool InputCount(std::uint32_t& count) override {
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) != 0) {
      lost_ = lost_ || PortGone(errno);
      return false;
    }
    // A vanished device (the other end of a pty closed, a USB adapter pulled) shows as a hang-up.
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) return false;
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      lost_ = true;
      return false;
    }
    // Errors counted since the last call are the line's error flag, reported once, as asking
    // clears it on other systems.
    std::uint64_t errors = 0;
    if (LineErrorCount(fd_, errors) && errors != errors_) {
      errors_ = errors;
      return false;
    }
    count = static_cast<std::uint32_t>(queued);
    return true;
  }

  bool Lost() const override { return lost_; }

  long Read(std::uint8_t* data, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, data, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      lost_ = lost_ || PortGone(errno);
      return -1;
    }
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) lost_ = lost_ || PortGone(errno);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  void WaitForInput(std::chrono::milliseconds timeout) override {
    const auto start = std::chrono::steady_clock::now();
    pollfd p{fd_, POLLIN, 0};
    const int rc = poll(&p, 1, static_cast<int>(timeout.count()));
    if (rc > 0 && (p.revents & POLLIN) != 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0)
      return;
    if (rc == 0) return;
    std::this_thread::sleep_until(start + timeout);
  }

 private:
  int fd_;
  const termios found_;
  std::uint64_t errors_ = 0;
  bool lost_ = false;
};

}  // namespace

TPortHandle OpenSerialLine(const std::string& portName, TOpenError* error) {
  TOpenError ignored;
  TOpenError& reason = error != nullptr ? *error : ignored;
  reason = TOpenError::NotFound;
  if (portName.empty()) return nullptr;
  // Names are the system's device names ("ttyUSB0", "pts/3"), whatever the current folder.
  const std::string path = portName.front() == '/' ? portName : "/dev/" + portName;
  // Only a terminal is opened. The checks go by the node that symlinks lead to, and that node is
  // what is opened, so a link changed in between cannot send the open elsewhere.
  char node[PATH_MAX];
  struct stat checked {};
  if (realpath(path.c_str(), node) == nullptr || stat(node, &checked) != 0) {
    reason = ReasonOf(errno);
    return nullptr;
  }
  if (!S_ISCHR(checked.st_mode) || !IsTerminal(checked.st_rdev)) {
    reason = TOpenError::Other;
    return nullptr;
  }
  const int fd = ::open(node, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    reason = ReasonOf(errno);
    return nullptr;
  }
  // TIOCEXCL keeps other users out but not root; the lock also stops a second opener that runs as
  // root or is this program again.
  struct stat opened {};
  termios found{};
  if (fstat(fd, &opened) != 0 || opened.st_rdev != checked.st_rdev || !isatty(fd)) {
    reason = TOpenError::Other;
  } else if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    reason = ReasonOf(errno);
  } else if (tcgetattr(fd, &found) != 0) {
    reason = TOpenError::Other;
  } else {
    reason = TOpenError::None;
    return std::make_unique<TPosixLine>(fd, found);
  }
  ::close(fd);
  return nullptr;
}
