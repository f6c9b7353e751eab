#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "base/Win32Text.h"
#include "device/CommonProcUn.h"
#include "device/SerialLine.h"

namespace {

// How the status request fails on a port whose device is gone: a removed USB adapter's handle
// answers access denied, bad command or aborted; Wine passes on the hung-up terminal as not
// ready. The status request does not fail for a line error, which it reports and clears.
bool PortGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
      return true;
    default:
      return false;
  }
}

class TWin32Line final : public TSerialLine {
 public:
  explicit TWin32Line(HANDLE handle) : handle_(handle) {}
  ~TWin32Line() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  bool Close() override {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    // The port goes back to the settings it had, so that trying a port that turns out not to be
    // the detector leaves it as it was. A device that has vanished answers no status request and
    // has no settings to go back to.
    bool restored = true;
    if (found_) {
      DWORD errors = 0;
      COMSTAT status{};
      restored =
          (SetCommState(handle, &found_->state) && SetCommTimeouts(handle, &found_->timeouts)) ||
          !ClearCommError(handle, &errors, &status);
    }
    return CloseHandle(handle) != FALSE && restored;
  }

  bool Configure(const TMyComPortParams& params) override {
    // Only the four line settings are ours; flow control and the rest stay as the port's driver
    // or the user's control panel left them.
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    COMMTIMEOUTS timeouts{};
    if (!GetCommState(handle_, &dcb) || !GetCommTimeouts(handle_, &timeouts)) return false;
    if (!found_) found_ = TSettings{dcb, timeouts};
    dcb.BaudRate = params.BaudRate;
    dcb.ByteSize = params.ByteSize;
    dcb.Parity = params.Parity;
    dcb.StopBits = params.StopBits;
    if (!SetCommState(handle_, &dcb)) return false;

    // Reads must hand back at once whatever is queued; the waiting is done by the caller, which
    // knows how long a reply may take.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(handle_, &timeouts)) return false;
    return PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR) != FALSE;
  }

  bool InputCount(std::uint32_t& count) override {
    if (std::exchange(errorSeen_, false)) return false;
    DWORD errors = 0;
    COMSTAT status{};
    // A vanished device shows here as a failed call: reads keep succeeding with nothing.
    if (!ClearCommError(handle_, &errors, &status)) {
      lost_ = lost_ || PortGone(GetLastError());
      return false;
    }
    if (errors != 0) return false;
    count = status.cbInQue;
    return true;
  }

  bool Lost() const override { return lost_; }

  long Read(std::uint8_t* data, std::size_t size) override {
    DWORD done = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    if (!ReadFile(handle_, data, wanted, &done, nullptr)) return -1;
    return static_cast<long>(done);
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (size > MAXDWORD) return false;
    DWORD done = 0;
    return WriteFile(handle_, data, static_cast<DWORD>(size), &done, nullptr) && done == size;
  }

  void WaitForInput(std::chrono::milliseconds timeout) override {
    // The handle is not overlapped, so there is nothing to block on with a time-out; looking at
    // the queue once a millisecond keeps the reply latency low without spinning.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      DWORD errors = 0;
      COMSTAT status{};
      const bool answered = ClearCommError(handle_, &errors, &status) != FALSE;
      const DWORD failure = answered ? ERROR_SUCCESS : GetLastError();
      // Looking clears the line's error flags: an error seen here ends the wait and is kept for
      // the next InputCount, or a request would take a garbled reply for a good one.
      if (answered && errors != 0) {
        errorSeen_ = true;
        return;
      }
      if (answered && status.cbInQue > 0) return;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return;
      if (answered) {
        Sleep(1);
        continue;
      }
      // A failing port would answer every check at once: sleep the time out instead.
      lost_ = lost_ || PortGone(failure);
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
      Sleep(static_cast<DWORD>(left.count()));
      return;
    }
  }

 private:
  struct TSettings {
    DCB state;
    COMMTIMEOUTS timeouts;
  };

  HANDLE handle_;
  // The settings the port had before the first Configure.
  std::optional<TSettings> found_;
  bool errorSeen_ = false;
  bool lost_ = false;
};

}  // namespace

TPortHandle OpenSerialLine(const std::string& portName, TOpenError* error) {
  TOpenError ignored;
  TOpenError& reason = error != nullptr ? *error : ignored;
  reason = TOpenError::NotFound;
  if (portName.empty()) return nullptr;
  // COM10 and above exist only in the device namespace, so every bare name goes through it.
  const bool isPath = portName.find_first_of("\\/") != std::string::npos;
  const std::wstring path = Utf8ToWide(isPath ? portName : "\\\\.\\" + portName);
  if (path.empty()) return nullptr;
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Windows refuses a port that another program holds with "access denied".
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        break;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
        reason = TOpenError::Busy;
        break;
      default:
        reason = TOpenError::Other;
    }
    return nullptr;
  }
  reason = TOpenError::None;
  return std::make_unique<TWin32Line>(handle);
}
