#include "tools/sim/Simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/sim/Frames.h"

namespace kvz03sim {
namespace {

// More than any program could have failed to read in a sane session; past it the port is
// plainly abandoned and queuing further would only grow memory.
constexpr std::size_t kMaxBacklog = 64 * 1024;
constexpr std::size_t kMaxLine = 64 * 1024;
// Dozens of demo events nobody read: no program has the port open. A real serial port would
// have dropped them, and a program connecting later should not get minutes of stale history.
constexpr std::size_t kStaleDemoBytes = 512;

template <typename... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void WriteStdout(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    // Whoever drives us is gone; stdin EOF will end the process shortly.
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char pair[4];
  for (const char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02x ", static_cast<unsigned char>(c));
    out += pair;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace

Simulator::Simulator(Options options, int signal_fd)
    : options_(std::move(options)),
      signal_fd_(signal_fd),
      link_(options_.link),
      identity_(frames::FitIdentity(options_.id)),
      ready_(options_.ready),
      mode_(options_.mode) {
  if (options_.demo) demo_.emplace(options_.demo_interval);
}

int Simulator::Run() {
  std::string error;
  if (!Plug(&error)) {
    std::fprintf(stderr, "kvz03-sim: %s\n", error.c_str());
    return 1;
  }
  WriteStdout(pty_->slave_path() + "\n");
  if (demo_) demo_due_ = Clock::now() + demo_->NextPause();

  bool signalled = false;
  while (!quit_ && !signalled) {
    pollfd fds[3];
    nfds_t count = 0;
    fds[count++] = {signal_fd_, POLLIN, 0};
    const nfds_t stdin_index = stdin_open_ ? count++ : 0;
    if (stdin_index != 0) fds[stdin_index] = {STDIN_FILENO, POLLIN, 0};
    const nfds_t master_index = pty_ ? count++ : 0;
    if (master_index != 0) {
      const short events = static_cast<short>(POLLIN | (to_master_.empty() ? 0 : POLLOUT));
      fds[master_index] = {pty_->master(), events, 0};
    }

    if (::poll(fds, count, PollTimeoutMs(Clock::now())) < 0) {
      if (errno == EINTR) continue;
      std::perror("kvz03-sim: poll");
      return 1;
    }

    if (fds[0].revents != 0) signalled = true;
    // The master goes first: a stdin command may replace the pty, making these revents stale.
    if (master_index != 0) {
      const short revents = fds[master_index].revents;
      if (revents & POLLIN) ReadMaster();
      if (revents & POLLOUT) FlushMaster();
      if (revents & (POLLERR | POLLNVAL) || (revents & POLLHUP && !(revents & POLLIN))) {
        // Cannot happen while we hold the slave open; if it does, keep from spinning on it.
        Log("port failed, unplugging");
        Unplug();
      }
    }
    if (stdin_index != 0 && fds[stdin_index].revents != 0 && !signalled) ReadStdin();
    RunTimers(Clock::now());
  }

  FlushMaster();
  ReleaseAnswers(true);
  return 0;
}

bool Simulator::Plug(std::string* error) {
  auto pty = Pty::Create(error);
  if (!pty || !link_.PointAt(pty->slave_path(), error)) return false;
  pty_ = std::move(pty);
  Log("plugged in at " + pty_->slave_path());
  return true;
}

void Simulator::Unplug() {
  if (!pty_) return;
  Log("unplugged");
  pty_.reset();
  link_.Remove();
  // Whatever the program had not read yet vanishes with the device.
  to_master_.clear();
  written_bytes_ = queued_bytes_;
  replies_.clear();
  ReleaseAnswers();
}

std::optional<std::string> Simulator::Replug() {
  Unplug();
  std::string error;
  if (!Plug(&error)) return "replug failed: " + error;
  Answer("port " + pty_->slave_path());
  return std::nullopt;
}

void Simulator::ReadMaster() {
  char buffer[256];
  const ssize_t n = ::read(pty_->master(), buffer, sizeof buffer);
  if (n <= 0) {
    if (n < 0 && errno != EAGAIN && errno != EINTR)
      Log(std::string("read: ") + std::strerror(errno));
    return;
  }
  const std::string_view received(buffer, static_cast<std::size_t>(n));
  Log(silent_ ? "<- (ignored)" : "<-", received);
  if (silent_) return;
  for (const char request : received) ReplyToPoll(request);
}

void Simulator::ReplyToPoll(char request) {
  std::string frame;
  if (request == 'V') {
    frame = frames::Identity(identity_);
  } else if (request == 'R') {
    frame = frames::Readiness(ready_, mode_);
  } else {
    return;  // the device ignores anything it does not understand
  }

  if (delay_.count() == 0 && replies_.empty()) {
    SendToMaster(frame);
    return;
  }
  // Replies leave in the order they were asked for, even if the delay shrinks meanwhile.
  auto due = Clock::now() + delay_;
  if (!replies_.empty()) due = std::max(due, replies_.back().due);
  replies_.push_back({due, std::move(frame)});
}

void Simulator::SendToMaster(const std::string& bytes) {
  if (!pty_) return;
  if (to_master_.size() + bytes.size() > kMaxBacklog) {
    Log("nobody reads the port, dropping", bytes);
    return;
  }
  Log("->", bytes);
  queued_bytes_ += bytes.size();
  to_master_ += bytes;
  FlushMaster();
}

void Simulator::FlushMaster() {
  while (pty_ && !to_master_.empty()) {
    const ssize_t n = ::write(pty_->master(), to_master_.data(), to_master_.size());
    if (n > 0) {
      to_master_.erase(0, static_cast<std::size_t>(n));
      written_bytes_ += static_cast<std::uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;  // poll() says when to retry
    Log(std::string("write: ") + std::strerror(errno));
    to_master_.clear();
    written_bytes_ = queued_bytes_;
  }
  ReleaseAnswers();
}

void Simulator::ReadStdin() {
  char buffer[4096];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    stdin_open_ = false;
    if (!stdin_buffer_.empty()) HandleLine(std::exchange(stdin_buffer_, {}));
    // A demo is often started from a launcher with nothing on stdin; it must keep playing.
    if (!demo_) quit_ = true;
    return;
  }

  stdin_buffer_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while (!quit_ && (end = stdin_buffer_.find('\n')) != std::string::npos) {
    const std::string line = stdin_buffer_.substr(0, end);
    stdin_buffer_.erase(0, end + 1);
    HandleLine(line);
  }
  if (stdin_buffer_.size() > kMaxLine) {
    stdin_buffer_.clear();
    Answer("error line too long");
  }
}

void Simulator::HandleLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const ParsedLine parsed = ParseCommandLine(line);
  if (!parsed.error.empty()) {
    Answer("error " + parsed.error);
    return;
  }
  const std::optional<std::string> error = parsed.command ? Execute(*parsed.command) : std::nullopt;
  Answer(error ? "error " + *error : "ok");
}

std::optional<std::string> Simulator::Execute(const Command& command) {
  const std::string unplugged = "the device is unplugged (use replug)";
  return std::visit(
      Overloaded{
          [&](const cmd::Mode& c) -> std::optional<std::string> {
            if (!pty_) return unplugged;
            mode_ = c.mode;
            SendToMaster(frames::Mode(c.mode));
            return std::nullopt;
          },
          [&](const cmd::Work& c) -> std::optional<std::string> {
            if (!pty_) return unplugged;
            SendToMaster(frames::Work(c.u1, c.u2, c.code, c.mode));
            return std::nullopt;
          },
          [&](const cmd::Raw& c) -> std::optional<std::string> {
            if (!pty_) return unplugged;
            SendToMaster(c.bytes);
            return std::nullopt;
          },
          [&](const cmd::Id& c) -> std::optional<std::string> {
            identity_ = frames::FitIdentity(c.text);
            return std::nullopt;
          },
          [&](const cmd::Ready& c) -> std::optional<std::string> {
            ready_ = c.ready;
            return std::nullopt;
          },
          [&](const cmd::State& c) -> std::optional<std::string> {
            mode_ = c.mode;
            return std::nullopt;
          },
          [&](const cmd::Silent& c) -> std::optional<std::string> {
            silent_ = c.silent;
            return std::nullopt;
          },
          [&](const cmd::Delay& c) -> std::optional<std::string> {
            delay_ = c.delay;
            return std::nullopt;
          },
          [&](const cmd::Unplug&) -> std::optional<std::string> {
            Unplug();
            return std::nullopt;
          },
          [&](const cmd::Replug&) { return Replug(); },
          [&](const cmd::Reset&) {
            identity_ = frames::FitIdentity(options_.id);
            ready_ = options_.ready;
            mode_ = options_.mode;
            silent_ = false;
            delay_ = std::chrono::milliseconds(0);
            if (options_.demo) {
              demo_.emplace(options_.demo_interval);
              demo_due_ = Clock::now() + demo_->NextPause();
            }
            // An unplugged device comes back; a plugged one is not hung up, which would also
            // hang up whoever holds the pty as its terminal, but forgets what is still queued.
            if (!pty_) return Replug();
            pty_->DiscardUnread();
            to_master_.clear();
            written_bytes_ = queued_bytes_;
            replies_.clear();
            ReleaseAnswers();
            return std::optional<std::string>();
          },
          [&](const cmd::Help&) -> std::optional<std::string> {
            std::string_view text = CommandsText();
            while (!text.empty()) {
              const auto end = text.find('\n');
              Answer(std::string(text.substr(0, end)));
              text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            }
            return std::nullopt;
          },
          [&](const cmd::Quit&) -> std::optional<std::string> {
            quit_ = true;
            return std::nullopt;
          },
      },
      command);
}

void Simulator::Answer(std::string line) {
  answers_.push_back({queued_bytes_, std::move(line)});
  ReleaseAnswers();
}

void Simulator::ReleaseAnswers(bool force) {
  while (!answers_.empty() && (force || answers_.front().after_bytes <= written_bytes_)) {
    WriteStdout(answers_.front().text + "\n");
    answers_.pop_front();
  }
}

void Simulator::RunTimers(Clock::time_point now) {
  while (!replies_.empty() && replies_.front().due <= now) {
    SendToMaster(replies_.front().frame);
    replies_.pop_front();
  }
  if (demo_ && demo_due_ <= now) {
    PlayDemo(demo_->Take());
    // Measured from now rather than from the missed deadline, so a stopped process does not
    // fire a burst of stale events when it resumes.
    demo_due_ = now + demo_->NextPause();
  }
}

void Simulator::PlayDemo(const DemoEvent& event) {
  if (const std::size_t unread = pty_ ? pty_->UnreadBySlave() : 0; unread > kStaleDemoBytes) {
    Log("nobody reads the port, discarding " + std::to_string(unread) + " stale bytes");
    pty_->DiscardUnread();
  }
  if (event.ready) ready_ = *event.ready;
  mode_ = event.mode;
  if (event.kind == DemoEvent::Kind::kWork) {
    SendToMaster(frames::Work(event.u1, event.u2, event.code, event.mode));
  } else {
    SendToMaster(frames::Mode(event.mode));
  }
}

int Simulator::PollTimeoutMs(Clock::time_point now) const {
  std::optional<Clock::time_point> due;
  if (!replies_.empty()) due = replies_.front().due;
  if (demo_) due = due ? std::min(*due, demo_due_) : demo_due_;
  if (!due) return -1;
  // Rounded up: waking a fraction of a millisecond early would only spin through poll().
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
  return static_cast<int>(std::clamp<decltype(wait)>(wait, 0, 24 * 3600 * 1000));
}

void Simulator::Log(std::string_view what, std::string_view bytes) const {
  if (!options_.verbose) return;
  const std::string hex = Hex(bytes);
  std::fprintf(stderr, "kvz03-sim: %.*s%s%s\n", static_cast<int>(what.size()), what.data(),
               hex.empty() ? "" : " ", hex.c_str());
}

}  // namespace kvz03sim
