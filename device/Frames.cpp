#include "device/Frames.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr std::uint8_t kStart[kMarkerLength] = {'[', '$', '%', ']'};
constexpr std::uint8_t kEnd[kMarkerLength] = {'{', '#', '&', '}'};

// Clears out and puts the two markers around a body of length bytes in all; the caller fills in
// the body.
std::size_t Framed(TByteBuffer& out, std::size_t length) {
  out.fill(0);
  std::copy(std::begin(kStart), std::end(kStart), out.begin());
  std::copy(std::begin(kEnd), std::end(kEnd),
            out.begin() + static_cast<std::ptrdiff_t>(length - kMarkerLength));
  return length;
}

void PutInt16(TByteBuffer& out, std::size_t offset, std::int16_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  out[offset] = static_cast<std::uint8_t>(bits & 0xFF);
  out[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
}

std::int16_t ReadInt16(const TByteBuffer& frame, std::size_t offset) {
  return static_cast<std::int16_t>(frame[offset] | (frame[offset + 1] << 8));
}

struct TMarks {
  std::size_t start = 0;
  std::size_t end = 0;
  bool haveStart = false;
  bool haveEnd = false;
};

// The last start marker among the first n bytes, and the last end marker after it.
TMarks FindMarks(const TByteBuffer& rx, std::size_t n) {
  TMarks marks;
  for (std::size_t i = 0; i + kMarkerLength <= n; ++i) {
    if (std::memcmp(&rx[i], kEnd, kMarkerLength) == 0) {
      marks.end = i + kMarkerLength - 1;
      marks.haveEnd = true;
    } else if (std::memcmp(&rx[i], kStart, kMarkerLength) == 0) {
      marks.start = i;
      marks.haveStart = true;
      marks.haveEnd = false;
    }
  }
  return marks;
}

// Moves the whole buffer from byte n to the front, zero-filling behind it.
void DropFront(TByteBuffer& rx, std::uint32_t& count, std::size_t n) {
  std::copy(rx.begin() + static_cast<std::ptrdiff_t>(n), rx.end(), rx.begin());
  std::fill(rx.end() - static_cast<std::ptrdiff_t>(n), rx.end(), std::uint8_t{0});
  count -= static_cast<std::uint32_t>(n);
}

std::uint8_t Byte(char c) {
  return static_cast<std::uint8_t>(c);
}

}  // namespace

bool ExtractFrame(TByteBuffer& rx, std::uint32_t& count, TByteBuffer& frame) {
  frame.fill(0);
  const std::size_t n = std::min<std::size_t>(count, kBufferSize);
  const TMarks marks = FindMarks(rx, n);
  if (!marks.haveStart || !marks.haveEnd) return false;
  std::copy(rx.begin() + static_cast<std::ptrdiff_t>(marks.start),
            rx.begin() + static_cast<std::ptrdiff_t>(marks.end + 1), frame.begin());
  count = static_cast<std::uint32_t>(n);
  DropFront(rx, count, marks.end + 1);
  return true;
}

bool DropNoise(TByteBuffer& rx, std::uint32_t& count) {
  if (count < kBufferSize) return false;
  const TMarks marks = FindMarks(rx, kBufferSize);
  if (marks.haveStart && marks.haveEnd) return false;
  const std::size_t keep = marks.haveStart && marks.start > 0 ? kBufferSize - marks.start : 3;
  DropFront(rx, count, kBufferSize - keep);
  return true;
}

TFrameContent DecodeFrame(const TByteBuffer& frame) {
  TFrameContent content;
  switch (frame[kTypeOffset]) {
    case kModeFrameType:
      content.kind = TFrameKind::Mode;
      content.mode = static_cast<char>(frame[kModeOffset]);
      break;
    case kWorkFrameType:
      content.kind = TFrameKind::WorkResult;
      content.mode = static_cast<char>(frame[kWorkModeOffset]);
      content.code = static_cast<char>(frame[kCodeOffset]);
      content.u1 = ReadInt16(frame, kU1Offset);
      content.u2 = ReadInt16(frame, kU2Offset);
      break;
    default:
      break;
  }
  return content;
}

std::size_t BuildModeFrame(TByteBuffer& out, char mode) {
  const std::size_t length = Framed(out, kShortFrameLength);
  out[kTypeOffset] = Byte(kModeFrameType);
  out[kModeOffset] = Byte(mode);
  return length;
}

std::size_t BuildWorkFrame(TByteBuffer& out, std::int16_t u1, std::int16_t u2, char code,
                           char mode) {
  const std::size_t length = Framed(out, kLongFrameLength);
  out[kTypeOffset] = Byte(kWorkFrameType);
  PutInt16(out, kU1Offset, u1);
  PutInt16(out, kU2Offset, u2);
  out[kCodeOffset] = Byte(code);
  out[kWorkModeOffset] = Byte(mode);
  return length;
}

std::size_t BuildVersionFrame(TByteBuffer& out) {
  const std::size_t length = Framed(out, kLongFrameLength);
  constexpr char kIdentity[kIdentityLength + 1] = "KVZ03001";
  std::copy(kIdentity, kIdentity + kIdentityLength,
            out.begin() + static_cast<std::ptrdiff_t>(kIdentityOffset));
  return length;
}

std::size_t BuildReadyFrame(TByteBuffer& out) {
  const std::size_t length = Framed(out, kShortFrameLength);
  out[kTypeOffset] = Byte(kReadyFlag);
  out[kModeOffset] = Byte(kModeExpert);
  return length;
}
