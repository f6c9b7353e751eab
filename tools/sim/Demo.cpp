#include "tools/sim/Demo.h"

#include <algorithm>

namespace kvz03sim {
namespace {

// A measurement takes about a second on the device; with the default interval of 2.5 s that
// is 40 %.
constexpr int kMeasurePercent = 40;
constexpr int kStepPercent = 100;
constexpr int kNoiseMv = 15;

DemoEvent ModeEvent(char mode, std::optional<bool> ready = std::nullopt) {
  DemoEvent event;
  event.mode = static_cast<std::uint8_t>(mode);
  event.ready = ready;
  return event;
}

DemoEvent WorkEvent(std::int16_t u1, std::int16_t u2, std::uint8_t code, char mode) {
  DemoEvent event;
  event.kind = DemoEvent::Kind::kWork;
  event.mode = static_cast<std::uint8_t>(mode);
  event.u1 = u1;
  event.u2 = u2;
  event.code = code;
  return event;
}

}  // namespace

DemoScript::DemoScript(std::chrono::milliseconds interval) : interval_(interval) {
  steps_ = {
      {kStepPercent, ModeEvent('c')},
      {kStepPercent, ModeEvent('r', true)},
  };
  loop_start_ = steps_.size();

  const auto measure = [this](char mode, DemoEvent result) {
    steps_.push_back({kStepPercent, ModeEvent('s')});
    steps_.push_back({kMeasurePercent, result});
    if (result.kind == DemoEvent::Kind::kMode)  // a failed measurement falls back to its mode
      steps_.push_back({kStepPercent, ModeEvent(mode)});
  };
  steps_.push_back({kStepPercent, ModeEvent('e')});
  measure('e', WorkEvent(412, -35, '3', 'e'));
  measure('e', WorkEvent(-128, 640, 0xFF, 'e'));
  measure('e', WorkEvent(705, 188, '9', 'e'));
  measure('e', ModeEvent('x'));
  measure('e', WorkEvent(233, -402, 0xFE, 'e'));
  steps_.push_back({kStepPercent, ModeEvent('y')});
  measure('y', WorkEvent(538, 61, '5', 'y'));
  measure('y', WorkEvent(486, 97, '2', 'y'));
  steps_.push_back({kStepPercent, ModeEvent('w')});
  measure('w', WorkEvent(-310, -95, ';', 'w'));
}

std::chrono::milliseconds DemoScript::NextPause() const {
  return interval_ * steps_[next_].pause_percent / 100;
}

DemoEvent DemoScript::Take() {
  DemoEvent event = steps_[next_].event;
  if (++next_ == steps_.size()) next_ = loop_start_;

  if (event.kind == DemoEvent::Kind::kWork) {
    // Real potentials never repeat exactly; a small deterministic wobble keeps the demo lively
    // and reproducible.
    const auto wobble = [this](std::int16_t value) {
      noise_state_ = noise_state_ * 1103515245u + 12345u;
      const int noise = static_cast<int>((noise_state_ >> 16) % (2 * kNoiseMv + 1)) - kNoiseMv;
      return static_cast<std::int16_t>(std::clamp(value + noise, -32768, 32767));
    };
    event.u1 = wobble(event.u1);
    event.u2 = wobble(event.u2);
  }
  return event;
}

}  // namespace kvz03sim
