#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A simulated detector borrowed for the object's lifetime from the pool the Wine stage keeps
// running (scripts/wine-tests.sh): KVZ_WINE_SIM_POOL lists its COM ports, KVZ_WINE_SIM_DIR is the
// folder with each one's stdin (NAME.in) and stdout log (NAME.out). The borrowed simulator starts
// from its start state on a new port, given the options a spawned one would take (--not-ready,
// --mode C, --id TEXT). Failures are reported as std::runtime_error.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The COM name, as OpenSerialLine takes it.
  const std::string& PortPath() const { return port_; }

  // Sends one command line and waits up to 5 s for its "ok".
  void Command(const std::string& line);

 private:
  HANDLE claim_ = INVALID_HANDLE_VALUE;
  std::string port_;
  std::string stdin_;
  std::string log_;
};
