#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "device/CommonProcUn.h"
#include "device/SerialLine.h"

// A serial line whose behaviour the test dictates, for what a pseudo-terminal cannot do: line
// error flags, short reads, queues larger than a terminal buffers, failing close.
struct LineScript {
  std::string queued;               // bytes waiting in the input queue
  bool errorFlag = false;           // InputCount reports a line error
  bool errorInWait = false;         // the line's own wait meets a line error
  bool lost = false;                // the port itself has failed
  std::size_t readLimit = 1000000;  // at most this many bytes over all reads
  bool closeFails = false;
  bool configureFails = false;
  std::string written;
  int reads = 0;
};

class ScriptedLine : public TSerialLine {
 public:
  explicit ScriptedLine(LineScript& script) : s_(script) {}
  bool Close() override { return !s_.closeFails; }
  bool Configure(const TMyComPortParams&) override { return !s_.configureFails; }
  bool InputCount(std::uint32_t& count) override {
    if (s_.errorFlag) return false;
    count = static_cast<std::uint32_t>(s_.queued.size());
    return true;
  }
  bool Lost() const override { return s_.lost; }
  long Read(std::uint8_t* data, std::size_t size) override {
    ++s_.reads;
    const std::size_t n = std::min({size, s_.readLimit, s_.queued.size()});
    std::memcpy(data, s_.queued.data(), n);
    s_.queued.erase(0, n);
    s_.readLimit -= n;
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t size) override {
    s_.written.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  void WaitForInput(std::chrono::milliseconds) override { s_.errorFlag |= s_.errorInWait; }

 private:
  LineScript& s_;
};
