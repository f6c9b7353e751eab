#include "tests/support/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCommandTimeout = std::chrono::seconds(5);
constexpr auto kExitTimeout = std::chrono::seconds(2);

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

int MillisUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// RAII for the posix_spawn attribute objects, which must be destroyed on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

// The child and both ends of its pipes.
struct SimProcess::State {
  ~State() { Stop(); }

  std::string ReadLine(Clock::time_point deadline);
  void WriteToSim(const std::string& text);
  int WaitForExit() noexcept;
  void Stop() noexcept;

  pid_t pid_ = -1;
  int to_sim_ = -1;
  int from_sim_ = -1;
  std::string buffer_;
  bool saw_port_ = false;
};

SimProcess::SimProcess(std::vector<std::string> args) : state_(std::make_unique<State>()) {
  State& s = *state_;
  args.insert(args.begin(), KVZ03_SIM_PATH);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // Close-on-exec from birth, so a sim spawned later cannot inherit another sim's pipes and
  // keep them from ever seeing EOF.
  int stdin_pipe[2];
  int stdout_pipe[2];
  if (::pipe2(stdin_pipe, O_CLOEXEC) != 0) ThrowErrno("pipe2");
  if (::pipe2(stdout_pipe, O_CLOEXEC) != 0) {
    ::close(stdin_pipe[0]);
    ::close(stdin_pipe[1]);
    ThrowErrno("pipe2");
  }
  s.to_sim_ = stdin_pipe[1];
  s.from_sim_ = stdout_pipe[0];

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, stdin_pipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, stdout_pipe[1], STDOUT_FILENO);
  // The test runner may block or ignore signals; the sim must see SIGTERM and SIGPIPE as usual.
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&setup.attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  posix_spawnattr_setsigdefault(&setup.attributes, &signals);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // On a throw from here on, the state's own destructor stops the child and closes the pipes.
  const int spawn_error =
      ::posix_spawn(&s.pid_, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
  ::close(stdin_pipe[0]);
  ::close(stdout_pipe[1]);
  if (spawn_error != 0) {
    s.pid_ = -1;
    throw std::runtime_error(std::string("posix_spawn ") + argv[0] + ": " +
                             std::strerror(spawn_error));
  }
  port_ = s.ReadLine(Clock::now() + kCommandTimeout);
}

SimProcess::~SimProcess() = default;

void SimProcess::Command(const std::string& line) {
  state_->WriteToSim(line + "\n");
  const auto deadline = Clock::now() + kCommandTimeout;
  for (;;) {
    const std::string reply = state_->ReadLine(deadline);
    if (reply == "ok") return;
    if (reply.starts_with("error")) throw std::runtime_error("kvz03-sim '" + line + "': " + reply);
    if (reply.starts_with("port ")) {
      port_ = reply.substr(5);
      state_->saw_port_ = true;
    }
  }
}

void SimProcess::Unplug() {
  Command("unplug");
}

void SimProcess::Replug() {
  state_->saw_port_ = false;
  Command("replug");
  if (!state_->saw_port_) throw std::runtime_error("kvz03-sim: replug did not report a port");
}

int SimProcess::KillAndWait(int signo) {
  if (state_->pid_ <= 0) throw std::runtime_error("kvz03-sim is not running");
  if (::kill(state_->pid_, signo) != 0) ThrowErrno("kill");
  return state_->WaitForExit();
}

std::string SimProcess::State::ReadLine(Clock::time_point deadline) {
  for (;;) {
    if (const auto end = buffer_.find('\n'); end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    pollfd pfd{from_sim_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, MillisUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) ThrowErrno("poll");
    if (ready == 0) throw std::runtime_error("kvz03-sim: no answer within 5 s");
    char chunk[512];
    const ssize_t n = ::read(from_sim_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno("read from kvz03-sim");
    if (n == 0) throw std::runtime_error("kvz03-sim exited unexpectedly");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

void SimProcess::State::WriteToSim(const std::string& text) {
  // A dead sim must surface as an exception, not as a SIGPIPE that kills the whole test run;
  // the signal is blocked for this thread only and a pending one is swallowed.
  sigset_t pipe_signal;
  sigset_t previous;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  std::size_t done = 0;
  int error = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(to_sim_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (error == EPIPE) {
    const timespec no_wait{};
    while (sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) {
    errno = error;
    ThrowErrno("write to kvz03-sim");
  }
}

int SimProcess::State::WaitForExit() noexcept {
  CloseFd(to_sim_);
  // The sim's stdout closes when it exits, so waiting for EOF is waiting for the exit without
  // polling waitpid() in a loop.
  const auto deadline = Clock::now() + kExitTimeout;
  bool exited = false;
  while (!exited) {
    pollfd pfd{from_sim_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, MillisUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char chunk[512];
    const ssize_t n = ::read(from_sim_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    exited = n <= 0;
  }
  if (!exited) ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  CloseFd(from_sim_);
  return status;
}

void SimProcess::State::Stop() noexcept {
  if (pid_ > 0) {
    try {
      WriteToSim("quit\n");
    } catch (...) {  // already gone; the wait below still reaps it
    }
    WaitForExit();
  }
  CloseFd(to_sim_);
  CloseFd(from_sim_);
}
