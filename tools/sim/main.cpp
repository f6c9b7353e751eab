// kvz03-sim: a KVZ-03 detector on a pseudo-terminal, for exercising the program without
// hardware. See --help for the stdin protocol.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "tools/sim/Options.h"
#include "tools/sim/Simulator.h"

namespace {

int g_signal_write_fd = -1;

// Termination is turned into a readable pipe so the poll() loop can leave normally and the
// destructors remove the --link symlink.
void OnTerminate(int) {
  const int saved_errno = errno;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_write_fd, &byte, 1);
  errno = saved_errno;
}

bool SetUpSignals(int* read_fd) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  for (const int fd : fds) {
    if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) return false;
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) return false;
  }
  g_signal_write_fd = fds[1];
  *read_fd = fds[0];

  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
    if (::sigaction(signo, &action, nullptr) != 0) return false;
  }
  // A vanished driver shows up as a failed write and then stdin EOF, not as a kill.
  action.sa_handler = SIG_IGN;
  return ::sigaction(SIGPIPE, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  kvz03sim::Options options;
  std::string error;
  if (!kvz03sim::ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "kvz03-sim: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    const std::string_view text = kvz03sim::UsageText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  int signal_fd = -1;
  if (!SetUpSignals(&signal_fd)) {
    std::perror("kvz03-sim: signals");
    return 1;
  }
  kvz03sim::Simulator simulator(std::move(options), signal_fd);
  return simulator.Run();
}
