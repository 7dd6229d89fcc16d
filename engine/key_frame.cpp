#include "engine/key_frame.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "engine/little_endian.h"

namespace frambit {
namespace {

// A fourcc in upper case, for the comparisons below: writers disagree on case.
std::uint32_t UpperFourCc(std::uint32_t code) {
  std::uint32_t upper = 0;
  for (int shift = 0; shift < 32; shift += 8)
    upper |= std::uint32_t{static_cast<std::uint8_t>(std::toupper(static_cast<int>((code >> shift) & 0xFF)))} << shift;
  return upper;
}

constexpr std::array kMpeg4Part2 = {FourCc("FMP4"), FourCc("XVID"), FourCc("DIVX"), FourCc("DX50"), FourCc("MP4V"),
                                    FourCc("M4S2"), FourCc("3IV2"), FourCc("XVIX"), FourCc("BLZ0"), FourCc("DXGM")};
constexpr std::array kH264 = {FourCc("H264"), FourCc("X264"), FourCc("AVC1"), FourCc("DAVC"), FourCc("VSSH")};

std::optional<FrameCoding> CodingOfFourCc(std::uint32_t code) {
  const std::uint32_t upper = UpperFourCc(code);
  if (std::find(kMpeg4Part2.begin(), kMpeg4Part2.end(), upper) != kMpeg4Part2.end()) return FrameCoding::Mpeg4Part2;
  if (std::find(kH264.begin(), kH264.end(), upper) != kH264.end()) return FrameCoding::H264;
  return std::nullopt;
}

// The index just past the next 00 00 01 start code at or after from; size
// when there is none.
std::size_t NextStartFourCc(std::span<const std::byte> bytes, std::size_t from) {
  for (std::size_t i = from; i + 3 <= bytes.size(); ++i)
    if (bytes[i] == std::byte{0} && bytes[i + 1] == std::byte{0} && bytes[i + 2] == std::byte{1}) return i + 3;
  return bytes.size();
}

bool Mpeg4KeyFrame(std::span<const std::byte> bytes) {
  constexpr std::byte kVopStart{0xB6};
  for (std::size_t at = NextStartFourCc(bytes, 0); at < bytes.size(); at = NextStartFourCc(bytes, at)) {
    if (bytes[at] != kVopStart) continue;
    // vop_coding_type, the first two bits after the start code: 0 is I.
    return at + 1 < bytes.size() && (std::to_integer<unsigned>(bytes[at + 1]) >> 6) == 0;
  }
  return false;
}

bool H264KeyFrame(std::span<const std::byte> bytes) {
  constexpr unsigned kNonIdrSlice = 1;
  constexpr unsigned kIdrSlice = 5;
  for (std::size_t at = NextStartFourCc(bytes, 0); at < bytes.size(); at = NextStartFourCc(bytes, at)) {
    const unsigned type = std::to_integer<unsigned>(bytes[at]) & 0x1F;
    if (type == kIdrSlice) return true;
    if (type == kNonIdrSlice) return false;  // the picture's first slice decides
  }
  return false;
}

}  // namespace

FrameCoding CodingOf(std::uint32_t handler, std::uint32_t compression) {
  if (const auto coding = CodingOfFourCc(compression)) return *coding;
  if (const auto coding = CodingOfFourCc(handler)) return *coding;
  return FrameCoding::IntraOnly;
}

bool IsKeyFrame(FrameCoding coding, std::span<const std::byte> start) {
  switch (coding) {
    case FrameCoding::IntraOnly: return true;
    case FrameCoding::Mpeg4Part2: return Mpeg4KeyFrame(start);
    case FrameCoding::H264: return H264KeyFrame(start);
  }
  return true;
}

}  // namespace frambit
