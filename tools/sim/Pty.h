#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "tools/sim/UniqueFd.h"

namespace kvz03sim {

// One "plugged in" detector: the master end the simulator serves and the slave path the
// program opens.
class Pty {
 public:
  // Returns nothing and explains why in *error when the kernel refuses a new pty.
  static std::optional<Pty> Create(std::string* error);

  int master() const { return master_.get(); }
  const std::string& slave_path() const { return slave_path_; }

  // Bytes the master wrote that no program has read yet, and a way to throw them away. Only
  // possible because we hold the slave ourselves.
  std::size_t UnreadBySlave() const;
  void DiscardUnread();

 private:
  Pty() = default;

  UniqueFd master_;
  // Held for the pty's whole life: while any slave descriptor is open the master never sees
  // EIO or a hang-up, so the program may close and reopen the port as often as it likes. It
  // also pins the raw line settings, which the kernel would otherwise reset on last close.
  UniqueFd slave_;
  std::string slave_path_;
};

}  // namespace kvz03sim
