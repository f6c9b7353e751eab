#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kvz03sim {

namespace cmd {
struct Mode {
  std::uint8_t mode;
};
struct Work {
  std::int16_t u1;
  std::int16_t u2;
  std::uint8_t code;
  std::uint8_t mode;
};
struct Id {
  std::string text;
};
struct Ready {
  bool ready;
};
struct State {
  std::uint8_t mode;
};
struct Silent {
  bool silent;
};
struct Delay {
  std::chrono::milliseconds delay;
};
struct Raw {
  std::string bytes;
};
struct Unplug {};
struct Replug {};
struct Reset {};
struct Help {};
struct Quit {};
}  // namespace cmd

using Command =
    std::variant<cmd::Mode, cmd::Work, cmd::Id, cmd::Ready, cmd::State, cmd::Silent, cmd::Delay,
                 cmd::Raw, cmd::Unplug, cmd::Replug, cmd::Reset, cmd::Help, cmd::Quit>;

struct ParsedLine {
  std::optional<Command> command;  // empty for blank and comment lines, and for errors
  std::string error;               // set only when the line is bad
};

ParsedLine ParseCommandLine(std::string_view line);

// A single byte given as one ASCII char, as the Cyrillic letters ю / я (the detector's
// Windows-1251 codes 0xFE / 0xFF), or as 0xNN. Shared with option parsing.
std::optional<std::uint8_t> ParseByte(std::string_view token);

// Milliseconds in 0..max; anything else, including signs and trailing junk, is rejected.
std::optional<std::chrono::milliseconds> ParseMillis(std::string_view token, long max);

}  // namespace kvz03sim
