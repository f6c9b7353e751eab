#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The detector's wire format: "[$%]" body "{#&}", no checksum, no length field.

constexpr std::size_t kBufferSize = 8092;
using TByteBuffer = std::array<std::uint8_t, kBufferSize>;

constexpr std::size_t kShortFrameLength = 10;  // readiness reply, mode frame
constexpr std::size_t kLongFrameLength = 16;   // identity reply, work result frame

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

// U1 and U2 travel as signed 16-bit little-endian numbers.
std::int16_t ReadInt16(const TByteBuffer& frame, std::size_t offset);
