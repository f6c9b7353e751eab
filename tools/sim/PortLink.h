#pragma once

#include <string>

namespace kvz03sim {

// A stable name for the port: the program can be pointed at it once and still find the device
// after a replug, when the pty number changes.
class PortLink {
 public:
  explicit PortLink(std::string path) : path_(std::move(path)) {}
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;
  ~PortLink() { Remove(); }

  bool enabled() const { return !path_.empty(); }

  // Points the link at target, replacing a previous symlink in one step. Refuses to replace
  // anything that is not a symlink, so a mistyped path cannot destroy a real file.
  bool PointAt(const std::string& target, std::string* error);

  // Removes the link, but only while it is still ours.
  void Remove();

 private:
  std::string path_;
  std::string target_;
};

}  // namespace kvz03sim
