#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal the test owns: the code under test opens SlavePath() as its serial port and
// the test plays the detector on the master end.
class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  void Send(const std::string& bytes);
  // Everything the code under test wrote within timeoutMs.
  std::string Receive(int timeoutMs = 200);
  // The device vanishes: the master end closes.
  void Hangup();

 private:
  int master_ = -1;
  int slaveKeeper_ = -1;
  std::string slavePath_;
};
