#include "tools/sim/CommandParser.h"

#include <charconv>
#include <vector>

namespace kvz03sim {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr long kMaxDelayMs = 3'600'000;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  while (!(text = Trim(text)).empty()) {
    const auto end = std::min(text.find_first_of(kBlanks), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

template <typename Int>
std::optional<Int> ParseInt(std::string_view token, Int min, Int max) {
  long value = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (ec != std::errc{} || end != token.data() + token.size() || value < min || value > max)
    return std::nullopt;
  return static_cast<Int>(value);
}

std::optional<bool> ParseFlag(std::string_view token) {
  if (token == "0") return false;
  if (token == "1") return true;
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> ParseHexBytes(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ' || c == '\t') {
      if (high >= 0) return std::nullopt;  // a byte split by a blank is surely a typo
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty()) return std::nullopt;
  return bytes;
}

bool IsResultCode(std::string_view token, std::uint8_t code) {
  // A lone ASCII char is easy to mistype, so only the documented codes pass; 0xNN is the way to
  // send anything else on purpose.
  if (token.size() != 1) return true;
  return code >= '0' && code <= ';';
}

using Args = std::vector<std::string_view>;

ParsedLine Ok(Command command) {
  return {std::move(command), {}};
}
ParsedLine Error(std::string message) {
  return {std::nullopt, std::move(message)};
}

ParsedLine ParseWork(const Args& args) {
  constexpr std::string_view kUsage = "usage: work U1 U2 CODE MODE";
  if (args.size() != 5) return Error(std::string(kUsage));
  const auto u1 = ParseInt<std::int16_t>(args[1], INT16_MIN, INT16_MAX);
  const auto u2 = ParseInt<std::int16_t>(args[2], INT16_MIN, INT16_MAX);
  if (!u1 || !u2) return Error("potentials must be integers in -32768..32767");
  const auto code = ParseByte(args[3]);
  if (!code || !IsResultCode(args[3], *code))
    return Error("result code must be one of 0123456789:; ю я or 0xNN");
  const auto mode = ParseByte(args[4]);
  if (!mode) return Error("mode must be a single char or 0xNN");
  return Ok(cmd::Work{*u1, *u2, *code, *mode});
}

}  // namespace

std::optional<std::uint8_t> ParseByte(std::string_view token) {
  if (token.size() == 1) return static_cast<std::uint8_t>(token[0]);
  if (token == "ю") return 0xFE;
  if (token == "я") return 0xFF;
  if (token.size() == 4 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
    const int high = HexDigit(token[2]);
    const int low = HexDigit(token[3]);
    if (high >= 0 && low >= 0) return static_cast<std::uint8_t>(high << 4 | low);
  }
  return std::nullopt;
}

std::optional<std::chrono::milliseconds> ParseMillis(std::string_view token, long max) {
  const auto value = ParseInt<long>(token, 0, max);
  if (!value) return std::nullopt;
  return std::chrono::milliseconds(*value);
}

ParsedLine ParseCommandLine(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == '#') return {};

  const Args args = SplitWords(line);
  const std::string_view name = args[0];
  const auto one_arg = [&]() -> std::optional<std::string_view> {
    if (args.size() != 2) return std::nullopt;
    return args[1];
  };
  const auto usage = [&](std::string_view what) { return Error("usage: " + std::string(what)); };

  if (name == "mode" || name == "state") {
    const auto arg = one_arg();
    const auto mode = arg ? ParseByte(*arg) : std::nullopt;
    if (!mode) return usage(std::string(name) + " C");
    if (name == "mode") return Ok(cmd::Mode{*mode});
    return Ok(cmd::State{*mode});
  }
  if (name == "work") return ParseWork(args);
  if (name == "id") {
    // The identity is everything after the command word, so it may contain spaces.
    const std::string_view text = Trim(line.substr(name.size()));
    if (text.empty()) return usage("id TEXT");
    return Ok(cmd::Id{std::string(text)});
  }
  if (name == "ready" || name == "silent") {
    const auto arg = one_arg();
    const auto flag = arg ? ParseFlag(*arg) : std::nullopt;
    if (!flag) return usage(std::string(name) + " 0|1");
    if (name == "ready") return Ok(cmd::Ready{*flag});
    return Ok(cmd::Silent{*flag});
  }
  if (name == "delay") {
    const auto arg = one_arg();
    const auto delay = arg ? ParseMillis(*arg, kMaxDelayMs) : std::nullopt;
    if (!delay) return usage("delay MS (0.." + std::to_string(kMaxDelayMs) + ")");
    return Ok(cmd::Delay{*delay});
  }
  if (name == "raw") {
    auto bytes = ParseHexBytes(line.substr(name.size()));
    if (!bytes) return usage("raw HEX... (whole hex pairs, e.g. raw 5b2425 5d)");
    return Ok(cmd::Raw{std::move(*bytes)});
  }

  const auto bare = [&](Command command) {
    if (args.size() != 1) return usage(std::string(name));
    return Ok(std::move(command));
  };
  if (name == "unplug") return bare(cmd::Unplug{});
  if (name == "replug") return bare(cmd::Replug{});
  if (name == "reset") return bare(cmd::Reset{});
  if (name == "help") return bare(cmd::Help{});
  if (name == "quit") return bare(cmd::Quit{});
  return Error("unknown command '" + std::string(name) + "' (try help)");
}

}  // namespace kvz03sim
