#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/SerialLine.h"

// A simulated detector (kvz03-sim) driven through its stdin/stdout line protocol. On Linux the
// test starts it as a child on a pseudo-terminal of its own. Under Wine it is borrowed for the
// object's lifetime from the pool the Wine stage keeps running (scripts/wine-tests.py), since no
// pipe reaches a Linux child there: KVZ_WINE_SIM_POOL lists its COM ports and KVZ_WINE_SIM_DIR
// holds each one's stdin (NAME.in) and stdout log (NAME.out); the borrowed one is reset to its
// start state with the options a spawned one would take (--not-ready, --mode C, --id TEXT).
// Failures are reported as std::runtime_error so tests need no special support code.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The port as OpenSerialLine takes it: a pty's path, or a COM name under Wine.
  const std::string& PortPath() const { return port_; }

  // Sends one command line and waits up to 5 s for its "ok".
  void Command(const std::string& line);

  // Only for a simulator the test started itself (Linux): a borrowed one keeps its port.
  void Unplug();
  void Replug();
  // Sends signo and waits (up to 2 s, then SIGKILL) for the exit; returns the waitpid status.
  int KillAndWait(int signo);

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string port_;
};

// Port names as the system would list them, each bound to a simulated detector or to nothing;
// every attempt to open one is recorded.
struct SimPortMap {
  std::map<std::string, SimProcess*> ports;
  // Names bound to a path of the test's own, such as a pseudo-terminal it reads.
  std::map<std::string, std::string> paths;
  // Names that exist but that this user may not open.
  std::set<std::string> refused;
  // Runs at every attempt to open a port, before the attempt; it may throw.
  std::function<void(const std::string&)> beforeOpen;
  std::vector<std::string> opened;

  TLineOpener Opener() {
    return [this](const std::string& name, TOpenError* error) -> TPortHandle {
      opened.push_back(name);
      if (beforeOpen) beforeOpen(name);
      if (refused.count(name) != 0) {
        *error = TOpenError::AccessDenied;
        return nullptr;
      }
      if (const auto path = paths.find(name); path != paths.end())
        return OpenSerialLine(path->second, error);
      const auto it = ports.find(name);
      return it == ports.end() ? nullptr : OpenSerialLine(it->second->PortPath(), error);
    };
  }
};
