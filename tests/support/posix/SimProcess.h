#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// Runs kvz03-sim as a child process and drives it through its stdin/stdout line protocol.
// Failures are reported as std::runtime_error so tests need no special support code.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& PortPath() const { return port_path_; }

  // Sends one command line and waits up to 5 s for its "ok".
  void Command(const std::string& line);
  void Unplug();
  void Replug();

  // Sends signo and waits (up to 2 s, then SIGKILL) for the exit; returns the waitpid status.
  int KillAndWait(int signo);

 private:
  std::string ReadLine(std::chrono::steady_clock::time_point deadline);
  void WriteToSim(const std::string& text);
  int WaitForExit() noexcept;
  void Stop() noexcept;

  pid_t pid_ = -1;
  int to_sim_ = -1;
  int from_sim_ = -1;
  std::string buffer_;
  std::string port_path_;
  bool saw_port_ = false;
};
