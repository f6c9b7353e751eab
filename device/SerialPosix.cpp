#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "CommonProcUn.h"
#include "SerialLine.h"

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

class TPosixLine final : public TSerialLine {
 public:
  explicit TPosixLine(int fd) : fd_(fd) {}
  ~TPosixLine() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    // The exclusive flag belongs to the terminal, not to this descriptor: left set, it would keep
    // refusing opens while anything else still holds the device.
    ioctl(fd, TIOCNXCL);
    return ::close(fd) == 0;
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
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
    return tcflush(fd_, TCIOFLUSH) == 0;
  }

  bool InputCount(std::uint32_t& count) override {
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) != 0) return false;
    // A vanished device (the other end of a pty closed, a USB adapter pulled) shows as a hang-up.
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
    count = static_cast<std::uint32_t>(queued);
    return true;
  }

  long Read(std::uint8_t* data, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, data, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
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
};

}  // namespace

TPortHandle OpenSerialLine(const std::string& portName, TOpenError* error) {
  TOpenError ignored;
  TOpenError& reason = error != nullptr ? *error : ignored;
  reason = TOpenError::NotFound;
  if (portName.empty()) return nullptr;
  const std::string path = portName.find('/') != std::string::npos ? portName : "/dev/" + portName;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = ReasonOf(errno);
    return nullptr;
  }
  // TIOCEXCL keeps other users out but not root; the lock also stops a second opener that runs as
  // root or is this program again.
  if (!isatty(fd)) {
    reason = TOpenError::Other;
  } else if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    reason = ReasonOf(errno);
  } else {
    reason = TOpenError::None;
    return std::make_unique<TPosixLine>(fd);
  }
  ::close(fd);
  return nullptr;
}
