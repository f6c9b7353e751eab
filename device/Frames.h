#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The detector's wire format: "[$%]" body "{#&}", no checksum, no length field.

constexpr std::size_t kBufferSize = 8092;
using TByteBuffer = std::array<std::uint8_t, kBufferSize>;

constexpr std::size_t kMarkerLength = 4;
constexpr std::size_t kShortFrameLength = 10;  // readiness reply, mode frame
constexpr std::size_t kLongFrameLength = 16;   // identity reply, work result frame

// Where each field stands, counted from the first byte of the start marker.
constexpr std::size_t kTypeOffset = 4;  // the frame type; in a readiness reply the ready flag
constexpr std::size_t kModeOffset = 5;  // mode frame and readiness reply
constexpr std::size_t kIdentityOffset = 4;
constexpr std::size_t kIdentityLength = 8;
constexpr std::size_t kU1Offset = 6;  // the work result frame's fields from here on
constexpr std::size_t kU2Offset = 8;
constexpr std::size_t kCodeOffset = 10;
constexpr std::size_t kWorkModeOffset = 11;

constexpr char kModeFrameType = 'M';
constexpr char kWorkFrameType = 'W';
constexpr char kReadyFlag = '1';

// The detector's state, as the mode character of a frame.
constexpr char kModeCheck = 'c';  // probe check (correction) in progress
constexpr char kModeReady = 'r';  // correction finished
constexpr char kModeExpert = 'e';
constexpr char kModeYellow = 'y';  // jewellery mode, yellow alloy
constexpr char kModeWhite = 'w';   // jewellery mode, white alloy
constexpr char kModeMeasuring = 's';
constexpr char kModeError = 'x';  // measurement error
constexpr char kModeNoProbe = 'p';
constexpr char kModePowerOff = 'f';

// The modes a measurement is made in; the display returns to the last of them after a transient
// state has been shown for a moment.
constexpr bool IsJewelleryMode(char mode) {
  return mode == kModeWhite || mode == kModeYellow;
}
constexpr bool IsWorkingMode(char mode) {
  return mode == kModeExpert || IsJewelleryMode(mode);
}
constexpr bool IsTransientMode(char mode) {
  return mode == kModeReady || mode == kModePowerOff || mode == kModeError;
}

// The two frames the detector sends on its own; replies to requests are read by whoever asked.
enum class TFrameKind { Other, Mode, WorkResult };

struct TFrameContent {
  TFrameKind kind = TFrameKind::Other;
  char mode = 0;
  char code = 0;  // work result only, as U1 and U2
  std::int16_t u1 = 0;
  std::int16_t u2 = 0;

  bool operator==(const TFrameContent&) const = default;
};

// Reads a frame as ExtractFrame leaves it; nothing but the type byte is checked.
TFrameContent DecodeFrame(const TByteBuffer& frame);

// Cuts the last complete frame out of rx (count valid bytes) into frame, zero-filled behind it,
// and drops everything up to its end marker. Bytes before the last start marker are dropped with
// it; an end marker counts only after the last start marker. False, with rx untouched, when there
// is no complete frame.
bool ExtractFrame(TByteBuffer& rx, std::uint32_t& count, TByteBuffer& frame);
// When rx is full and holds no complete frame, drops the bytes that can never become part of
// one, so that reading can go on: everything before the last start marker, or, when there is
// none or it stands at the front (its frame could not fit), all but the last three bytes, which
// may begin a marker. True when anything was dropped.
bool DropNoise(TByteBuffer& rx, std::uint32_t& count);

// Frames as the detector sends them, written at the start of out; each returns the length.
std::size_t BuildModeFrame(TByteBuffer& out, char mode);
std::size_t BuildWorkFrame(TByteBuffer& out, std::int16_t u1, std::int16_t u2, char code,
                           char mode);
std::size_t BuildVersionFrame(TByteBuffer& out);
std::size_t BuildReadyFrame(TByteBuffer& out);
