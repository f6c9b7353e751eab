#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "device/CommonProcUn.h"
#include "device/Frames.h"

// The byte-level half of the device link: the serial port, the receive and transmit buffers, and
// the worker thread whose body a subclass supplies. Every call runs on the thread that makes it;
// who may touch the port is settled by the subclass's listening handshake.
class TDeviceObject {
 public:
  enum class TBuffer { Receive, Transmit };

  explicit TDeviceObject(TLinkEnv env = TLinkEnv());
  virtual ~TDeviceObject();
  TDeviceObject(const TDeviceObject&) = delete;
  TDeviceObject& operator=(const TDeviceObject&) = delete;

  bool ClosePort();
  void ClearBuffer(TBuffer which);
  bool GetInputCount(std::uint32_t& count);
  // Reads exactly n queued bytes behind the received ones. Refused, reading nothing, when they
  // would not fit. Bytes that a short read did deliver are kept, but the call still fails.
  bool ReadInput(std::uint32_t n);
  bool DrainInput();
  bool WriteText(const std::string& text);
  // Waits until target bytes are queued, the queue stalls for stallLimit checks, or timeoutMs
  // passes; target becomes the number queued. False when the time ran out or the port failed.
  bool WaitForInput(std::uint32_t& target, std::uint32_t timeoutMs, std::uint32_t stallLimit);

  // Starts the thread the first time; later calls do nothing.
  void Resume();
  bool Terminated() const { return terminated_.load(); }

  // RxCount read under RxMutex, for a thread other than the one filling the buffer.
  std::uint32_t UnconsumedByteCount() const;

  TStringList Settings;
  TPortHandle PortHandle;
  std::atomic<bool> Connected{false};
  TMyComPortParams PortParams;

 protected:
  virtual void Execute() = 0;
  // Asks the thread to end and waits for it, letting GUI events run meanwhile so a thread that is
  // handing an event to the GUI can finish. Subclasses call it first in their destructor.
  void StopThread();
  // Reads as many of the queued bytes as still fit behind the received ones; left becomes the
  // number that stay queued. False when the port failed or delivered fewer than asked.
  bool ReadWhatFits(std::uint32_t queued, std::uint32_t& left);
  // True on the object's own thread.
  static bool InOwnThread();

  const TLinkEnv Env;
  TByteBuffer TxBuffer{};
  // The receive buffer may be filled from the GUI thread (the emulator) while the loop reads it;
  // both go through RxMutex so no thread ever sees half a frame.
  mutable std::mutex RxMutex;
  TByteBuffer RxBuffer{};
  // How many bytes at the start of RxBuffer were received and not yet consumed.
  std::uint32_t RxCount = 0;

 private:
  // Reads n bytes behind the received ones, which the caller has made sure fit; RxMutex held.
  bool ReadLocked(std::uint32_t n);

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
  std::once_flag started_;
};
