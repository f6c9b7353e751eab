#pragma once

#include <atomic>
#include <vector>

#include "base/Clock.h"

// Real time plus whatever the code under test asked to sleep, without sleeping: a five-second
// open retry costs nothing, yet time-outs measured between sleeps still run in real time.
class FakeClock : public TClock {
 public:
  TimePoint Now() const override {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(skipped_.load());
  }
  void Sleep(std::chrono::milliseconds duration) override {
    skipped_ += duration.count();
    sleeps.push_back(duration);
  }
  std::vector<std::chrono::milliseconds> sleeps;

 private:
  std::atomic<long long> skipped_{0};
};
