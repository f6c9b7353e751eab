// Arbitrary byte streams, cut into arbitrary reads, go through the listening loop's steps: poll,
// read, extract, dispatch. The receive buffer must never overflow and every frame handed on must
// be a whole frame.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/DirUn.h"
#include "device/Frames.h"
#include "device/KVZDeviceUn.h"

namespace {

class StreamLine : public TSerialLine {
 public:
  StreamLine(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Close() override { return true; }
  bool Configure(const TMyComPortParams&) override { return true; }
  // The first byte of what is left says how much of it the driver has queued so far.
  bool InputCount(std::uint32_t& count) override {
    if (pos_ >= size_) {
      count = 0;
      return true;
    }
    const std::size_t chunk = data_[pos_] % 64 == 63 ? 9000 : data_[pos_] % 64;
    ++pos_;
    if (chunk == 0) return false;
    queued_ = std::min(chunk, size_ - pos_);
    count = static_cast<std::uint32_t>(queued_);
    return true;
  }
  long Read(std::uint8_t* out, std::size_t n) override {
    n = std::min(n, queued_);
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    queued_ -= n;
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t*, std::size_t) override { return true; }
  bool Lost() const override { return false; }
  void WaitForInput(std::chrono::milliseconds) override {}
  bool Done() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::size_t queued_ = 0;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WorkDir = "/nonexistent-kvz-fuzz/";
  TKVZDevice device;
  auto line = std::make_unique<StreamLine>(data, size);
  StreamLine* stream = line.get();
  device.PortHandle = std::move(line);
  int modes = 0;
  device.OnMode = [&](TKVZDevice& d) {
    Check(d.Frame[kTypeOffset] == kModeFrameType || d.Frame[kTypeOffset] == kWorkFrameType);
    ++modes;
  };
  device.OnWorkResult = [&](TKVZDevice& d) {
    Check(d.Frame[kTypeOffset] == kWorkFrameType);
    d.ResultNames.Value(d.ResultCode.load());
  };
  while (!stream->Done()) {
    device.PollInput();
    Check(device.UnconsumedByteCount() <= kBufferSize);
    // A buffer left full without a frame would refuse every further read.
    const bool full = device.UnconsumedByteCount() == kBufferSize;
    if (device.ExtractFrame()) {
      Check(std::memcmp(device.Frame.data(), "[$%]", kMarkerLength) == 0);
      device.DispatchFrame();
    } else {
      Check(!full);
    }
  }
  return modes >= 0 ? 0 : 1;
}
