#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct TMyComPortParams;

// One open serial port. The operating system's serial API lives behind this interface, one whole
// file per system (SerialPosix.cpp, SerialWin32.cpp).
class TSerialLine {
 public:
  virtual ~TSerialLine() = default;
  // Puts back the line settings the port had before Configure and closes it; false when the
  // system reports a failure. Called once, before destruction.
  virtual bool Close() = 0;
  // Sets speed, data bits, parity and stop bits, makes reads return at once with whatever is
  // queued, and discards both queues.
  virtual bool Configure(const TMyComPortParams& params) = 0;
  // Bytes waiting in the input queue. False when the port reports an error (a line error since
  // the last call, a vanished device); the error state is cleared by asking.
  virtual bool InputCount(std::uint32_t& count) = 0;
  // True once the port itself has failed: the device hung up or was removed, and nothing will
  // pass until the port is opened anew. A line error (framing, parity, overrun) is no such
  // failure. Found by the calls above and below as they fail.
  virtual bool Lost() const = 0;
  // Reads at most size bytes without blocking; returns the number read, or -1 on failure.
  virtual long Read(std::uint8_t* data, std::size_t size) = 0;
  // True only when every byte was written.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // Blocks until input is queued or timeout has passed. Never returns early because the line hung
  // up or failed, so a caller that loops on it cannot spin; a line error met while waiting ends
  // the wait and is what the next InputCount reports.
  virtual void WaitForInput(std::chrono::milliseconds timeout) = 0;
};

using TPortHandle = std::unique_ptr<TSerialLine>;

// Why a port did not open. AccessDenied means the port is there but this user may not use it;
// a port held by another program is Busy.
enum class TOpenError { None, NotFound, Busy, AccessDenied, Other };

// One attempt to open the named port exclusively; null on failure, with the reason in error when
// given. The system's naming applies (COM3, ttyUSB0, pts/3); a full path is taken as it is. On
// POSIX systems only a terminal device is opened: anything else is refused, unopened, as Other.
TPortHandle OpenSerialLine(const std::string& portName, TOpenError* error = nullptr);

using TLineOpener = std::function<TPortHandle(const std::string& portName, TOpenError* error)>;
