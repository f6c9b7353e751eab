#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "device/Frames.h"
#include "device/ResultNames.h"
#include "tests/support/Rows.h"

namespace {

struct ExtractCase {
  const char* name;
  std::string received;
  bool extracted;
  std::string frame;  // expected frame when extracted
  std::string left;   // what stays in the buffer
};

const std::string kNoise(kBufferSize, 'z');

std::string Bytes(const TByteBuffer& buffer, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(buffer.data()), n);
}

class ExtractFrameTest : public testing::TestWithParam<ExtractCase> {};

// As the listening loop does: noise that can never become part of a frame goes first.
TEST_P(ExtractFrameTest, DropsNoiseAndCutsTheLastCompleteFrame) {
  const ExtractCase& c = GetParam();
  TByteBuffer rx{}, frame{};
  frame.fill(0xAA);
  std::memcpy(rx.data(), c.received.data(), c.received.size());
  auto count = static_cast<std::uint32_t>(c.received.size());

  DropNoise(rx, count);
  EXPECT_EQ(ExtractFrame(rx, count, frame), c.extracted);
  const std::string expectedFrame = c.extracted ? c.frame : "";
  EXPECT_EQ(Bytes(frame, expectedFrame.size()), expectedFrame);
  for (std::size_t i = expectedFrame.size(); i < kBufferSize; ++i) ASSERT_EQ(frame[i], 0) << i;
  EXPECT_EQ(count, c.left.size());
  EXPECT_EQ(Bytes(rx, count), c.left);
}

const ExtractCase kExtractCases[] = {
    {"Empty", "", false, "", ""},
    {"ShorterThanAMarker", "[$%", false, "", "[$%"},
    {"StrayBytesBeforeAFrame", "xy[$%]Me{#&}", true, "[$%]Me{#&}", ""},
    {"OnlyTheLastOfTwoFrames", "[$%]Me{#&}[$%]Mr{#&}", true, "[$%]Mr{#&}", ""},
    {"OpenStartMarkerBlocks", "[$%]Me{#&}[$%]W", false, "", "[$%]Me{#&}[$%]W"},
    {"EndMarkerWithoutStart", "abc{#&}def", false, "", "abc{#&}def"},
    {"EndBeforeStartDoesNotCount", "{#&}[$%]Me", false, "", "{#&}[$%]Me"},
    {"BytesAfterTheFrameStay", "[$%]Mw{#&}[$%", true, "[$%]Mw{#&}", "[$%"},
    {"MarkersBackToBack", "[$%]{#&}", true, "[$%]{#&}", ""},
    {"LastEndMarkerAfterTheStart", "[$%]a{#&}b{#&}c", true, "[$%]a{#&}b{#&}", "c"},
    {"NoiseShortOfFullStays", kNoise.substr(1), false, "", kNoise.substr(1)},
    {"FullOfNoise", kNoise, false, "", "zzz"},
    {"FullEndingInPartOfAMarker", kNoise.substr(3) + "[$%", false, "", "[$%"},
    {"FullWithAnOpenFrame", kNoise.substr(9) + "[$%]Me[$%", false, "", "[$%]Me[$%"},
    {"FullWithAFrameThatCannotFit", "[$%]" + kNoise.substr(4), false, "", "zzz"},
    {"FullEndingInAFrame", kNoise.substr(10) + "[$%]Mc{#&}", true, "[$%]Mc{#&}", ""}};
KVZ_ROWS(ExtractFrameTest, kExtractCases);

TEST(ExtractFrameTest, FrameSplitAcrossReadsIsDeliveredOnceComplete) {
  const std::string work("[$%]W\0\xf4\x01\x38\xff\x33y{#&}", 16);
  TByteBuffer rx{}, frame{};
  std::uint32_t count = 0;
  for (std::size_t split : {1u, 5u, 12u, 15u}) {
    std::memcpy(rx.data(), work.data(), split);
    count = static_cast<std::uint32_t>(split);
    EXPECT_FALSE(ExtractFrame(rx, count, frame)) << split;
    std::memcpy(rx.data() + count, work.data() + split, work.size() - split);
    count = static_cast<std::uint32_t>(work.size());
    ASSERT_TRUE(ExtractFrame(rx, count, frame)) << split;
    EXPECT_EQ(Bytes(frame, 16), work);
    EXPECT_EQ(DecodeFrame(frame).u1, 500);
    EXPECT_EQ(DecodeFrame(frame).u2, -200);
    EXPECT_EQ(count, 0u);
  }
}

struct WireCase {
  const char* name;
  std::function<std::size_t(TByteBuffer&)> build;  // empty for a frame the program never builds
  std::string wire;
  TFrameContent content;
};
using namespace std::placeholders;
const WireCase kWireCases[] = {
    {"Mode", std::bind(BuildModeFrame, _1, 'e'), "[$%]Me{#&}", {TFrameKind::Mode, 'e'}},
    {"ModeOutsideTheTable", {}, "[$%]Mz{#&}", {TFrameKind::Mode, 'z'}},
    {"WorkResult",
     std::bind(BuildWorkFrame, _1, 500, -200, '\xff', 'y'),
     std::string("[$%]W\0\xf4\x01\x38\xff\xffy{#&}", 16),
     {TFrameKind::WorkResult, 'y', '\xff', 500, -200}},
    {"WorkResultAtTheLimits",
     std::bind(BuildWorkFrame, _1, -32768, 32767, '0', 'e'),
     std::string("[$%]W\0\x00\x80\xff\x7f\x30\x65{#&}", 16),
     {TFrameKind::WorkResult, 'e', '0', -32768, 32767}},
    {"IdentityReply", BuildVersionFrame, "[$%]KVZ03001{#&}", {}},
    {"ReadinessReply", BuildReadyFrame, "[$%]1e{#&}", {}},
    {"UnknownType", {}, "[$%]Qe{#&}", {}},
};
class WireTest : public testing::TestWithParam<WireCase> {};

TEST_P(WireTest, BuildsAndReadsFramesAsTheDetectorSendsThem) {
  const WireCase& c = GetParam();
  TByteBuffer frame{};
  frame.fill(0x55);
  if (c.build) {
    EXPECT_EQ(Bytes(frame, c.build(frame)), c.wire);
    for (std::size_t i = c.wire.size(); i < kBufferSize; ++i) ASSERT_EQ(frame[i], 0) << i;
  } else {
    std::memcpy(frame.data(), c.wire.data(), c.wire.size());
  }
  EXPECT_EQ(DecodeFrame(frame), c.content);
}
KVZ_ROWS(WireTest, kWireCases);

TEST(ResultNamesTest, TableLookupsByCodeByte) {
  const TResultNames names;
  ASSERT_EQ(names.Count(), 14);
  const struct {
    char code;
    int position;
    const char* value;
  } cases[] = {
      {'0', 0, "сплав не опознан"},
      {'3', 3, "Золото 585 пробы (14kt, стандарт)"},
      {':', 10, "Белое золото"},
      {';', 11, "Платина и сплавы"},
      {'\xfe', 12, "повторите тест"},
      {'\xff', 13, "не драгметалл"},
      {'\xdf', 13, "не драгметалл"},  // capital Я: names are compared without regard to case
      {'\xde', 12, "повторите тест"},
      {'<', -1, ""},
      {'\0', -1, ""},
      {'A', -1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(names.IndexOfName(c.code), c.position) << int(static_cast<unsigned char>(c.code));
    EXPECT_EQ(names.Value(c.code), c.value);
  }
  EXPECT_EQ(names.Entry(0), "0=сплав не опознан");
  EXPECT_EQ(names.Entry(13), "я=не драгметалл");
  EXPECT_EQ(names.Code(13), '\xff');
  EXPECT_EQ(names.Code(14), '\0');
  EXPECT_EQ(names.Code(-1), '\0');
}

}  // namespace
