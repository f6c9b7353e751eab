#pragma once

#include <chrono>

// Time-outs and retry pauses go through a clock so tests can skip the long waits. Time-outs are
// measured on a monotonic clock: setting the system time must not stretch or cut a wait.
class TClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~TClock() = default;
  virtual TimePoint Now() const = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The real steady clock; shared by every device object that is not given another.
TClock& SteadyClock();
