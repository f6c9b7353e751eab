#include "device/KVZDeviceUn.h"

#include <exception>
#include <thread>

#include "base/TextFile.h"
#include "device/DirUn.h"
#include "device/Vocabulary.h"

namespace {

constexpr std::chrono::milliseconds kLoopPause(10);
constexpr std::chrono::seconds kStopWait(1);
constexpr std::uint32_t kRequestTimeoutMs = 100;
constexpr std::uint32_t kNoStallLimit = 0xFFFFFFFF;

}  // namespace

TKVZDevice::TKVZDevice(TLinkEnv env) : TDeviceObject(std::move(env)) {
  bool loaded = false;
  try {
    loaded = LoadPortParams(Settings, FileToRead(kSettingsFile), PortParams);
  } catch (const TFileError& e) {
    // An unreadable settings file must not stop the program; say so and start as on a first run.
    GuiLink().ReportError(e.what());
    PortParams.PortName = "COM1";
  }
  if (!loaded) {
    PortParams.BaudRate = 921600;
    PortParams.ByteSize = 8;
    PortParams.Parity = 0;
    PortParams.StopBits = 0;
  }
}

TKVZDevice::~TKVZDevice() {
  StopThread();
}

void TKVZDevice::SaveSettings() {
  SavePortParams(Settings, FileToWrite(kSettingsFile), PortParams, true);
}

bool TKVZDevice::TryPort(const std::string& portName, TProgressBar* progress) {
  const int position = progress != nullptr ? progress->Position() : 0;
  const int maximum = progress != nullptr ? progress->Maximum() : 0;
  PortParams.PortName = portName;
  TOpenError error = TOpenError::None;
  bool ok = OpenComPort(PortParams, PortHandle, progress, Env, &error);
  if (error == TOpenError::AccessDenied) accessDenied_ = true;
  if (progress != nullptr) {
    progress->SetMaximum(maximum);
    progress->SetPosition(position);
  }
  if (ok) ok = ReadVersion();
  if (ok) return true;
  ClosePort();
  return false;
}

bool TKVZDevice::Connect(const TStringList& portNames, TProgressBar* progress,
                         TStageTarget* stageTarget) {
  if (Connected.load() && !ClosePort()) return false;
  Connected.store(false);
  accessDenied_ = false;
  if (progress != nullptr) {
    progress->SetVisible(true);
    progress->SetPosition(0);
    progress->SetMaximum(static_cast<int>(portNames.size()) + 1);
  }
  const auto step = [progress] {
    if (progress != nullptr) progress->SetPosition(progress->Position() + 1);
  };

  const std::string defaultPort = PortParams.PortName;
  ShowStage("Подключение к порту по умолчанию...", stageTarget);
  bool ok = TryPort(defaultPort, progress);
  step();
  for (std::size_t i = 0; !ok && i < portNames.size(); ++i) {
    ShowStage("Подключение к порту " + portNames[i] + "...", stageTarget);
    ok = TryPort(portNames[i], progress);
    step();
  }
  if (ok)
    Connected.store(true);
  else
    PortParams.PortName = defaultPort;

  if (progress != nullptr) {
    progress->SetPosition(progress->Maximum());
    progress->SetVisible(false);
  }
  if (Connected.load()) {
    SaveSettings();
    Resume();
  }
  return Connected.load();
}

bool TKVZDevice::ConnectPort(const std::string& portName, TStageTarget* stageTarget) {
  if (Connected.load() && !ClosePort()) return false;
  Connected.store(false);
  accessDenied_ = false;
  const std::string defaultPort = PortParams.PortName;
  ShowStage("Подключение к порту " + portName + "...", stageTarget);
  if (!TryPort(portName, nullptr)) {
    PortParams.PortName = defaultPort;
    return false;
  }
  Connected.store(true);
  SaveSettings();
  Resume();
  return true;
}

bool TKVZDevice::CanOpen(const std::string& portName) const {
  TOpenError error = TOpenError::None;
  TPortHandle line = Env.Open(portName, &error);
  return line != nullptr && CloseComPort(line);
}

void TKVZDevice::StartListening() {
  PortLost.store(false);
  Listening.store(true);
}

bool TKVZDevice::StopListening() {
  Listening.store(false);
  if (Idle.load()) return true;
  std::unique_lock lock(idleMutex_);
  return idleSet_.wait_for(lock, kStopWait, [this] { return Idle.load(); });
}

void TKVZDevice::SetIdle() {
  if (Idle.load()) return;
  {
    std::lock_guard lock(idleMutex_);
    Idle.store(true);
  }
  idleSet_.notify_all();
}

void TKVZDevice::Execute() {
  while (!Terminated()) {
    if (!Listening.load() || PortLost.load()) {
      SetIdle();
      std::this_thread::sleep_for(kLoopPause);
      continue;
    }
    Idle.store(false);
    // StopListening may have cleared Listening after the check above and seen Idle still set; in
    // that case the port is the GUI thread's again and must not be touched.
    if (!Listening.load()) continue;
    const bool emptied = PollInput();
    if (ExtractFrame()) DispatchFrame();
    if (PortHandle && PortHandle->Lost()) {
      // Asking a dead port again would only fail again, every pass; the GUI thread closes it.
      PortLost.store(true);
      SetIdle();
      RaiseEvent(OnLost);
      continue;
    }
    // Waiting on the port rather than sleeping puts a frame on screen as soon as it is complete.
    // Bytes left queued make the port readable at once, so then the pass sleeps out its time.
    if (emptied && PortHandle)
      PortHandle->WaitForInput(kLoopPause);
    else
      std::this_thread::sleep_for(kLoopPause);
  }
}

bool TKVZDevice::PollInput() {
  std::uint32_t queued = 0;
  std::uint32_t left = 0;
  if (!GetInputCount(queued) || (queued > 0 && !ReadWhatFits(queued, left))) return false;
  // Noise that fills the buffer without a frame would otherwise stop every further read.
  std::lock_guard lock(RxMutex);
  DropNoise(RxBuffer, RxCount);
  return left == 0;
}

void TKVZDevice::RaiseEvent(const TEvent& handler) {
  if (!handler) return;
  if (!InOwnThread()) {
    handler(*this);
    return;
  }
  // A handler's error must not end the listening thread: it goes to the program's error handler
  // and the loop listens on.
  GuiLink().RunOnGuiThread([this, &handler] {
    try {
      handler(*this);
    } catch (const std::exception& e) {
      GuiLink().ReportError(e.what());
    } catch (...) {
      GuiLink().ReportError("Неизвестная ошибка");
    }
  });
}

bool TKVZDevice::ExtractFrame() {
  std::lock_guard lock(RxMutex);
  return ::ExtractFrame(RxBuffer, RxCount, Frame);
}

bool TKVZDevice::Request(const std::string& command, std::uint32_t replyLength) {
  if (!Idle.load()) return false;
  std::uint32_t wanted = 0;
  for (int attempt = 1;; ++attempt) {
    if (!DrainInput() || !WriteText(command)) return false;
    wanted = replyLength;
    if (WaitForInput(wanted, kRequestTimeoutMs, kNoStallLimit)) break;
    if (attempt == 2) return false;
  }
  return ReadInput(wanted) && ExtractFrame();
}

bool TKVZDevice::ReadVersion() {
  if (!Request(kIdentityRequest, kLongFrameLength)) return false;
  const auto identity = std::string(Frame.begin() + kIdentityOffset,
                                    Frame.begin() + kIdentityOffset + kIdentityLength);
  if (identity.rfind(kIdentityPrefix, 0) != 0) return false;
  DeviceVersion = identity;
  return true;
}

bool TKVZDevice::RequestReady() {
  if (!Request(kReadinessRequest, kShortFrameLength)) return false;
  Mode.store(static_cast<char>(Frame[kModeOffset]));
  RaiseEvent(OnMode);
  return Frame[kTypeOffset] == kReadyFlag;
}

void TKVZDevice::DispatchFrame() {
  const TFrameContent content = DecodeFrame(Frame);
  if (content.kind == TFrameKind::Other) return;
  Mode.store(content.mode);
  RaiseEvent(OnMode);
  if (content.kind != TFrameKind::WorkResult) return;
  ResultCode.store(content.code);
  U1.store(content.u1);
  U2.store(content.u2);
  RaiseEvent(OnWorkResult);
}

template <typename Build>
void TKVZDevice::PutFrame(Build build) {
  std::lock_guard lock(RxMutex);
  RxCount = static_cast<std::uint32_t>(build(RxBuffer));
}

void TKVZDevice::PutModeFrame(char mode) {
  PutFrame([mode](TByteBuffer& rx) { return BuildModeFrame(rx, mode); });
}

void TKVZDevice::PutWorkFrame(std::int16_t u1, std::int16_t u2, char code, char mode) {
  PutFrame([=](TByteBuffer& rx) { return BuildWorkFrame(rx, u1, u2, code, mode); });
}

void TKVZDevice::PutVersionFrame() {
  PutFrame(BuildVersionFrame);
}

void TKVZDevice::PutReadyFrame() {
  PutFrame(BuildReadyFrame);
}
