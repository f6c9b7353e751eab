#include "device/DeviceObjectUn.h"

#include <algorithm>

namespace {
thread_local bool t_inDeviceThread = false;
constexpr std::chrono::milliseconds kGuiTurn(5);
}  // namespace

TDeviceObject::TDeviceObject(TLinkEnv env) : Env(std::move(env)) {}

TDeviceObject::~TDeviceObject() {
  StopThread();
  ClosePort();
}

void TDeviceObject::Resume() {
  std::call_once(started_, [this] {
    thread_ = std::thread([this] {
      t_inDeviceThread = true;
      Execute();
      finished_.store(true);
    });
  });
}

void TDeviceObject::StopThread() {
  terminated_.store(true);
  if (!thread_.joinable()) return;
  while (!finished_.load()) {
    if (GuiLinkInstalled()) GuiLink().ProcessEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread_.join();
}

bool TDeviceObject::InOwnThread() {
  return t_inDeviceThread;
}

bool TDeviceObject::ClosePort() {
  return !PortHandle || CloseComPort(PortHandle);
}

void TDeviceObject::ClearBuffer(TBuffer which) {
  if (which == TBuffer::Transmit) {
    TxBuffer.fill(0);
    return;
  }
  std::lock_guard lock(RxMutex);
  RxBuffer.fill(0);
  RxCount = 0;
}

std::uint32_t TDeviceObject::UnconsumedByteCount() const {
  std::lock_guard lock(RxMutex);
  return RxCount;
}

bool TDeviceObject::GetInputCount(std::uint32_t& count) {
  if (Terminated()) return true;
  return PortHandle && PortHandle->InputCount(count);
}

bool TDeviceObject::ReadInput(std::uint32_t n) {
  if (Terminated()) return true;
  if (!PortHandle) return false;
  std::lock_guard lock(RxMutex);
  if (static_cast<std::uint64_t>(RxCount) + n > kBufferSize) return false;
  return ReadLocked(n);
}

bool TDeviceObject::ReadWhatFits(std::uint32_t queued, std::uint32_t& left) {
  left = queued;
  if (Terminated()) return true;
  if (!PortHandle) return false;
  std::lock_guard lock(RxMutex);
  const std::uint32_t n = std::min<std::uint32_t>(queued, kBufferSize - RxCount);
  left = queued - n;
  return ReadLocked(n);
}

bool TDeviceObject::ReadLocked(std::uint32_t n) {
  std::uint32_t got = 0;
  while (got < n) {
    const long r = PortHandle->Read(RxBuffer.data() + RxCount + got, n - got);
    if (r <= 0) break;
    got += static_cast<std::uint32_t>(r);
  }
  RxCount += got;
  return got == n;
}

bool TDeviceObject::DrainInput() {
  std::uint32_t count = 0;
  if (!GetInputCount(count)) return false;
  if (count > 0 && !ReadInput(count)) return false;
  ClearBuffer(TBuffer::Receive);
  ClearBuffer(TBuffer::Transmit);
  return true;
}

bool TDeviceObject::WriteText(const std::string& text) {
  if (Terminated()) return true;
  if (!PortHandle || text.size() > kBufferSize) return false;
  TxBuffer.fill(0);
  std::copy(text.begin(), text.end(), TxBuffer.begin());
  return PortHandle->Write(TxBuffer.data(), text.size());
}

bool TDeviceObject::WaitForInput(std::uint32_t& target, std::uint32_t timeoutMs,
                                 std::uint32_t stallLimit) {
  const TClock::TimePoint deadline = Env.Clock->Now() + std::chrono::milliseconds(timeoutMs);
  std::uint32_t queued = 0;
  std::uint32_t previous = 0;
  std::uint32_t stall = 0;
  for (;;) {
    if (!GetInputCount(queued)) return false;
    stall = queued == previous && queued != 0 ? stall + 1 : 0;
    previous = queued;
    const TClock::TimePoint now = Env.Clock->Now();
    if (queued >= target || stall >= stallLimit || now >= deadline) {
      const bool arrived = queued >= target || stall >= stallLimit;
      target = queued;
      return arrived;
    }
    // An empty queue can be waited on; a partly filled one shows as readable at once, so give the
    // rest of the reply a millisecond to arrive instead of asking the driver again straight away.
    // A silent port keeps the caller here for the whole time-out: on the GUI thread the window
    // gets its turn every few milliseconds meanwhile.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                      std::chrono::milliseconds(1);
    if (queued == 0 && PortHandle) {
      PortHandle->WaitForInput(std::min(left, kGuiTurn));
      if (GuiLinkInstalled()) GuiLink().ProcessEvents();
    } else {
      Env.Clock->Sleep(std::min(left, std::chrono::milliseconds(1)));
    }
  }
}
