#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "device/DeviceObjectUn.h"
#include "device/ResultNames.h"

// The port settings file, among the program's files (FolderOf).
inline constexpr char kSettingsFile[] = "kvzport.ini";

// The one object through which the program deals with the detector: the connection search, the
// two requests, and the listening thread that turns the detector's frames into events.
//
// Handover: the GUI thread owns the port and the buffers while Idle is set; the loop owns them
// from StartListening until StopListening has returned true. Events raised by the loop run on the
// GUI thread while the loop waits, so handlers read consistent values. When the port itself fails
// while listening, the loop sets PortLost, lets go of the port (Idle) and raises OnLost; it reads
// nothing more until the next StartListening.
class TKVZDevice : public TDeviceObject {
 public:
  using TEvent = std::function<void(TKVZDevice&)>;

  explicit TKVZDevice(TLinkEnv env = TLinkEnv());
  ~TKVZDevice() override;

  void SaveSettings();
  bool TryPort(const std::string& portName, TProgressBar* progress);
  bool Connect(const TStringList& portNames, TProgressBar* progress, TStageTarget* stageTarget);
  // Connect on the one port named, without a progress bar: for a port that has just appeared.
  bool ConnectPort(const std::string& portName, TStageTarget* stageTarget);
  // Whether the port opens now: one attempt, closed again at once, nothing sent. Only while no
  // detector is connected.
  bool CanOpen(const std::string& portName) const;
  void StartListening();
  bool StopListening();
  // Whether the last Connect met a port it was not allowed to open.
  bool AccessDenied() const { return accessDenied_; }

  // The listening loop's reading: what the driver has queued, as far as it fits, dropping noise
  // that fills the buffer without a frame. True when the queue was left empty.
  bool PollInput();
  bool ExtractFrame();
  bool Request(const std::string& command, std::uint32_t replyLength);
  bool ReadVersion();
  bool RequestReady();
  void DispatchFrame();

  // Each replaces the receive buffer with one frame as the detector would have sent it.
  void PutModeFrame(char mode);
  void PutWorkFrame(std::int16_t u1, std::int16_t u2, char code, char mode);
  void PutVersionFrame();
  void PutReadyFrame();

  std::atomic<bool> Listening{false};
  std::atomic<bool> Idle{true};
  // Written by the loop while it owns the port, cleared by StartListening while it does not.
  std::atomic<bool> PortLost{false};
  TByteBuffer Frame{};
  TEvent OnMode;
  TEvent OnWorkResult;
  TEvent OnLost;
  std::atomic<char> Mode{0};
  std::atomic<char> ResultCode{0};
  std::atomic<std::int16_t> U1{0};
  std::atomic<std::int16_t> U2{0};
  const TResultNames ResultNames{};
  std::string DeviceVersion;

 protected:
  void Execute() override;

 private:
  void RaiseEvent(const TEvent& handler);
  void SetIdle();
  template <typename Build>
  void PutFrame(Build build);

  bool accessDenied_ = false;
  std::mutex idleMutex_;
  std::condition_variable idleSet_;
};
