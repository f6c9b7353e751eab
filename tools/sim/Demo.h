#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kvz03sim {

struct DemoEvent {
  enum class Kind { kMode, kWork };
  Kind kind = Kind::kMode;
  std::uint8_t mode = 'e';  // the frame's mode char; for results, the mode measured in
  std::int16_t u1 = 0;
  std::int16_t u2 = 0;
  std::uint8_t code = '0';
  std::optional<bool> ready;  // changes the ready flag reported to R when set
};

// An endless, deterministic walk through what a user does with the detector: a probe check
// once, then rounds of expert, yellow-alloy and white-alloy measurements.
class DemoScript {
 public:
  explicit DemoScript(std::chrono::milliseconds interval);

  // How long to wait before the event that Take() returns next.
  std::chrono::milliseconds NextPause() const;
  DemoEvent Take();

 private:
  struct Step {
    int pause_percent;  // of the interval, so --demo-interval scales the whole script
    DemoEvent event;
  };

  std::chrono::milliseconds interval_;
  std::vector<Step> steps_;
  std::size_t loop_start_ = 0;
  std::size_t next_ = 0;
  std::uint32_t noise_state_ = 1;
};

}  // namespace kvz03sim
