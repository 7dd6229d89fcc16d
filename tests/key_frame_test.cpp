#include "engine/key_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/little_endian.h"

namespace frambit {
namespace {

std::vector<std::byte> Bits(const std::vector<int>& values) {
  std::vector<std::byte> bytes;
  for (int value : values) bytes.push_back(std::byte{static_cast<std::uint8_t>(value)});
  return bytes;
}

TEST(KeyFrame, CodingFollowsTheFourCcInAnyCase) {
  EXPECT_EQ(CodingOf(FourCc("FMP4"), FourCc("FMP4")), FrameCoding::Mpeg4Part2);
  EXPECT_EQ(CodingOf(FourCc("xvid"), FourCc("xvid")), FrameCoding::Mpeg4Part2);
  EXPECT_EQ(CodingOf(FourCc("H264"), FourCc("H264")), FrameCoding::H264);
  EXPECT_EQ(CodingOf(0, FourCc("avc1")), FrameCoding::H264);
  EXPECT_EQ(CodingOf(FourCc("DIVX"), 0), FrameCoding::Mpeg4Part2);  // strf says nothing: the handler decides
  EXPECT_EQ(CodingOf(FourCc("MJPG"), FourCc("MJPG")), FrameCoding::IntraOnly);
  EXPECT_EQ(CodingOf(0, 0), FrameCoding::IntraOnly);  // raw
}

TEST(KeyFrame, ReadsTheFrameTypeFromTheBitstream) {
  struct Case {
    const char* name;
    FrameCoding coding;
    std::vector<int> bytes;
    bool key;
  };
  const Case cases[] = {
      {"MPEG-4 I-VOP behind a VOL header", FrameCoding::Mpeg4Part2,
       {0, 0, 1, 0xB0, 1, 0, 0, 1, 0x20, 0x08, 0, 0, 1, 0xB6, 0x10, 0x60}, true},
      {"MPEG-4 P-VOP", FrameCoding::Mpeg4Part2, {0, 0, 1, 0xB6, 0x51, 0x22}, false},
      {"MPEG-4 B-VOP", FrameCoding::Mpeg4Part2, {0, 0, 1, 0xB6, 0x91, 0x22}, false},
      {"MPEG-4 start code cut off", FrameCoding::Mpeg4Part2, {0x12, 0, 0, 1, 0xB6}, false},
      {"MPEG-4 empty (dropped) frame", FrameCoding::Mpeg4Part2, {}, false},
      {"H.264 IDR behind AUD, SPS, PPS and SEI", FrameCoding::H264,
       {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x68, 0xCE, 0, 0, 1, 0x06, 5, 1, 0, 0, 1, 0x65, 0x88},
       true},
      {"H.264 non-IDR slice", FrameCoding::H264, {0, 0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x41, 0x9A}, false},
      {"H.264 without a slice", FrameCoding::H264, {0, 0, 1, 0x06, 5, 1}, false},
      {"intra-only, even empty", FrameCoding::IntraOnly, {}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsKeyFrame(c.coding, Bits(c.bytes)), c.key) << c.name;
}

}  // namespace
}  // namespace frambit
