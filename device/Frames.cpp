#include "Frames.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kStart[4] = {'[', '$', '%', ']'};
constexpr std::uint8_t kEnd[4] = {'{', '#', '&', '}'};

std::size_t PutFrame(TByteBuffer& out, std::initializer_list<std::uint8_t> body) {
  out.fill(0);
  std::size_t n = 0;
  for (std::uint8_t b : kStart) out[n++] = b;
  for (std::uint8_t b : body) out[n++] = b;
  for (std::uint8_t b : kEnd) out[n++] = b;
  return n;
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
  for (std::size_t i = 0; i + 4 <= n; ++i) {
    if (std::memcmp(&rx[i], kEnd, 4) == 0) {
      marks.end = i + 3;
      marks.haveEnd = true;
    } else if (std::memcmp(&rx[i], kStart, 4) == 0) {
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

std::size_t BuildModeFrame(TByteBuffer& out, char mode) {
  return PutFrame(out, {'M', Byte(mode)});
}

std::size_t BuildWorkFrame(TByteBuffer& out, std::int16_t u1, std::int16_t u2, char code,
                           char mode) {
  const auto a = static_cast<std::uint16_t>(u1);
  const auto b = static_cast<std::uint16_t>(u2);
  return PutFrame(out, {'W', 0, static_cast<std::uint8_t>(a & 0xFF),
                        static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(b & 0xFF),
                        static_cast<std::uint8_t>(b >> 8), Byte(code), Byte(mode)});
}

std::size_t BuildVersionFrame(TByteBuffer& out) {
  return PutFrame(out, {'K', 'V', 'Z', '0', '3', '0', '0', '1'});
}

std::size_t BuildReadyFrame(TByteBuffer& out) {
  return PutFrame(out, {'1', 'e'});
}

std::int16_t ReadInt16(const TByteBuffer& frame, std::size_t offset) {
  return static_cast<std::int16_t>(frame[offset] | (frame[offset + 1] << 8));
}
