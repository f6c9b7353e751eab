#include "base/Clock.h"

#include <thread>

namespace {
class TSteadyClock final : public TClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};
}  // namespace

TClock& SteadyClock() {
  static TSteadyClock clock;
  return clock;
}
