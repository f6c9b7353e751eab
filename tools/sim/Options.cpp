#include "tools/sim/Options.h"

#include <optional>

#include "tools/sim/CommandParser.h"

namespace kvz03sim {
namespace {

constexpr long kMaxDemoIntervalMs = 600'000;

constexpr std::string_view kUsage = R"(Usage: kvz03-sim [OPTIONS]

A simulated KVZ-03 precious-metal detector on a pseudo-terminal. The first line
on stdout is the serial port path for the program to open. The simulator is then
driven by commands on stdin, one per line; each is answered by "ok" (after any
bytes it caused are written to the port) or "error <reason>".

Options:
  --link PATH          also make PATH a symlink to the port; it follows replugs
                       and is removed at exit (an existing symlink is replaced)
  --id TEXT            identity sent in reply to V (default KVZ03001; padded
                       with spaces or cut to 8 bytes)
  --not-ready          start with the ready flag cleared (R answers '0')
  --mode C             initial current mode reported in replies to R (default e)
  --demo               play an endless scripted session: probe check, then
                       expert, yellow-alloy and white-alloy measurements; keeps
                       answering V and R and keeps running after stdin EOF
  --demo-interval MS   pause between demo events (default 2500; a measurement
                       result follows its 's' frame after 40% of it)
  --verbose            log port traffic to stderr
  --help               show this text and exit
Options taking a value also accept --name=VALUE.

)";

constexpr std::string_view kCommands = R"(Commands:
  mode C                send a mode frame; C also becomes the current mode
  work U1 U2 CODE MODE  send a result frame; U1, U2 potentials in -32768..32767,
                        CODE one of 0123456789:; or ю (repeat the test) or
                        я (not a precious metal) or 0xNN, MODE a mode char;
                        the current mode is left as it was
  id TEXT               identity sent in reply to V (8 bytes: padded or cut)
  ready 0|1             ready flag sent in reply to R
  state C               set the current mode without sending a frame
  silent 0|1            ignore V and R from the port while 1
  delay MS              answer V and R only after MS milliseconds
  raw HEX...            write raw bytes to the port, e.g. raw 5b2425 5d 4d
  unplug                close the port: the program's reads fail or hang up
  replug                create a new port (after an unplug if needed); prints
                        "port <path>" before "ok"
  reset                 back to the state the options gave at start, dropping
                        every byte not yet read either way (after an unplug, a
                        new port as replug); for one simulator shared by many runs
  help                  list commands
  quit                  exit (so does EOF on stdin, except with --demo)
Blank lines and lines starting with # are answered "ok" and do nothing.
Mode chars: c probe check, r ready, e expert, y yellow alloy, w white alloy,
s measuring, x measurement error, p probe not connected, f power off.
A mode char may also be given as 0xNN.
)";

constexpr std::string_view kExample = R"(
Example session (> typed on stdin, < printed on stdout):
  $ kvz03-sim --link /tmp/kvz03
  < /dev/pts/7
  > mode y
  < ok
  > work 412 -35 3 y
  < ok
  > unplug
  < ok
  > replug
  < port /dev/pts/8
  < ok
  > quit
  < ok
)";

// Splits "--name=value" so both spellings share one code path.
struct Arg {
  std::string_view name;
  std::optional<std::string_view> value;
};

Arg SplitArg(std::string_view arg) {
  const auto eq = arg.find('=');
  if (eq == std::string_view::npos || !arg.starts_with("--")) return {arg, std::nullopt};
  return {arg.substr(0, eq), arg.substr(eq + 1)};
}

}  // namespace

std::string_view UsageText() {
  static const std::string text =
      std::string(kUsage) + std::string(kCommands) + std::string(kExample);
  return text;
}

std::string_view CommandsText() {
  return kCommands;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const Arg arg = SplitArg(argv[i]);
    const std::string_view name = arg.name;
    const std::optional<std::string_view>& inline_value = arg.value;
    const auto value = [&]() -> std::optional<std::string_view> {
      if (inline_value) return inline_value;
      if (i + 1 < argc) return std::string_view(argv[++i]);
      *error = std::string(name) + " needs a value";
      return std::nullopt;
    };
    const auto flag = [&]() {
      if (inline_value) *error = std::string(name) + " takes no value";
      return !inline_value;
    };

    if (name == "--help" || name == "-h") {
      if (!flag()) return false;
      options->help = true;
    } else if (name == "--not-ready") {
      if (!flag()) return false;
      options->ready = false;
    } else if (name == "--demo") {
      if (!flag()) return false;
      options->demo = true;
    } else if (name == "--verbose" || name == "-v") {
      if (!flag()) return false;
      options->verbose = true;
    } else if (name == "--link") {
      const auto path = value();
      if (!path) return false;
      if (path->empty()) {
        *error = "--link needs a path";
        return false;
      }
      options->link = *path;
    } else if (name == "--id") {
      const auto id = value();
      if (!id) return false;
      options->id = *id;
    } else if (name == "--mode") {
      const auto text = value();
      if (!text) return false;
      const auto mode = ParseByte(*text);
      if (!mode) {
        *error = "--mode needs a single char or 0xNN";
        return false;
      }
      options->mode = *mode;
    } else if (name == "--demo-interval") {
      const auto text = value();
      if (!text) return false;
      const auto interval = ParseMillis(*text, kMaxDemoIntervalMs);
      if (!interval || interval->count() == 0) {
        *error = "--demo-interval needs milliseconds in 1.." + std::to_string(kMaxDemoIntervalMs);
        return false;
      }
      options->demo_interval = *interval;
    } else {
      *error = "unknown option " + std::string(argv[i]);
      return false;
    }
  }
  return true;
}

}  // namespace kvz03sim
