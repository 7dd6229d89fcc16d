#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace frambit {

// How a video stream's frames tell whether a player can start decoding at
// them.
enum class FrameCoding {
  IntraOnly,   // MJPEG, raw and other intra-only codecs: every frame
  Mpeg4Part2,  // the first VOP's vop_coding_type
  H264,        // an IDR slice
};

// From the strh fccHandler and the strf biCompression. Codecs we cannot
// read are taken as intra-only: every frame is then a seek point, which may
// show a damaged picture after a seek but never hides frames from a player.
FrameCoding CodingOf(std::uint32_t handler, std::uint32_t compression);

// How many bytes from a frame's start IsKeyFrame wants to see; fewer do
// when the frame is shorter.
inline constexpr std::size_t kKeyFrameProbeBytes = 4096;

// Whether the frame that begins with start is a key frame. An empty frame
// (a dropped one) never is, except for intra-only coding.
bool IsKeyFrame(FrameCoding coding, std::span<const std::byte> start);

}  // namespace frambit
