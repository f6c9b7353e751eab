#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "tools/sim/CommandParser.h"
#include "tools/sim/Demo.h"
#include "tools/sim/Options.h"
#include "tools/sim/PortLink.h"
#include "tools/sim/Pty.h"

namespace kvz03sim {

// The whole device: a single-threaded poll() loop over the signal pipe, stdin and the pty
// master, with the delayed replies and the demo script as timers.
class Simulator {
 public:
  // signal_fd becomes readable when the process is asked to terminate.
  Simulator(Options options, int signal_fd);

  // Returns the process exit code.
  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  struct DelayedReply {
    Clock::time_point due;
    std::string frame;
  };
  // A stdout line held back until the port has taken every byte queued before it, so that
  // "ok" really means the bytes are on their way to the program.
  struct PendingLine {
    std::uint64_t after_bytes;
    std::string text;
  };

  bool Plug(std::string* error);
  void Unplug();
  std::optional<std::string> Replug();  // returns an error, if any

  void ReadMaster();
  void ReplyToPoll(char request);
  void SendToMaster(const std::string& bytes);
  void FlushMaster();

  void ReadStdin();
  void HandleLine(std::string_view line);
  std::optional<std::string> Execute(const Command& command);  // returns an error, if any

  void Answer(std::string line);
  void ReleaseAnswers(bool force = false);

  void RunTimers(Clock::time_point now);
  void PlayDemo(const DemoEvent& event);
  int PollTimeoutMs(Clock::time_point now) const;

  void Log(std::string_view what, std::string_view bytes = {}) const;

  Options options_;
  int signal_fd_;
  std::optional<Pty> pty_;
  PortLink link_;

  std::string identity_;
  bool ready_;
  std::uint8_t mode_;
  bool silent_ = false;
  std::chrono::milliseconds delay_{0};

  std::string to_master_;
  std::uint64_t queued_bytes_ = 0;   // ever queued for the master
  std::uint64_t written_bytes_ = 0;  // ever handed to the kernel (or dropped with the port)
  std::deque<PendingLine> answers_;
  std::deque<DelayedReply> replies_;

  std::optional<DemoScript> demo_;
  Clock::time_point demo_due_;

  std::string stdin_buffer_;
  bool stdin_open_ = true;
  bool quit_ = false;
};

}  // namespace kvz03sim
