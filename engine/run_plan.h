#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/avi_header.h"
#include "engine/chunk_chain.h"

namespace frambit {

// Movie data up to this size goes into one AVI 1.0 file; a longer run is
// written as OpenDML, a RIFF AVI and RIFF AVIX extensions of at most this
// much movie data each.
inline constexpr std::int64_t kRiffSegmentBytes = std::int64_t{1} << 30;

// Chunks [first, last) of a run, and the target bytes [start, end) they fill.
struct RiffSegment {
  std::size_t first;
  std::size_t last;
  std::int64_t start;
  std::int64_t end;
};

// One segment for a run of up to kRiffSegmentBytes; otherwise as many as
// the limit asks, cut between chunks.
std::vector<RiffSegment> SplitIntoSegments(const ChunkRun& run);

// Chunks that a player counts as samples of their stream, and the ones idx1
// lists (the samples and the palette changes).
bool IsSample(ChunkRole role);
bool InIdx1(ChunkRole role);

// What one stream has in a stretch of a run.
struct StreamCount {
  std::uint32_t samples = 0;
  std::uint64_t bytes = 0;
  std::uint32_t identifier = 0;  // of its first sample: what its indexes name
  std::uint32_t largest = 0;
};

// The stream's length in its own units: samples, or bytes / dwSampleSize
// for sound stored in fixed-size samples.
std::uint32_t StreamDuration(const AviStream& stream, const StreamCount& count);

// Where one segment lies in the output file.
struct PlacedSegment {
  std::int64_t riffAt = 0;         // its RIFF header (0 for the first: the file's start)
  std::int64_t dataAt = 0;         // its first movie data byte
  std::vector<std::int64_t> ixAt;  // each stream's ix## chunk; 0 where the stream has no sample
  std::int64_t end = 0;            // just past its RIFF
};

// Everything about one output file that is known before its first byte is
// written:
//
//   RIFF AVI  [sample header, fitted .. movi][segment 0 data][ix## ...] idx1
//   RIFF AVIX LIST movi [segment 1 data][ix## ...]                 (OpenDML only)
//   ...
struct RunPlan {
  std::vector<RiffSegment> segments;
  bool openDml = false;
  std::vector<std::vector<StreamCount>> counts;  // [segment][stream]
  std::vector<StreamCount> totals;               // [stream]
  std::vector<PlacedSegment> placed;             // [segment]
  std::int64_t headerBytes = 0;
  std::int64_t moviEnd = 0;  // the end of the first movie list
  std::uint32_t idx1Entries = 0;
};

RunPlan PlanRun(const ChunkRun& run, std::vector<RiffSegment> segments, bool openDml, const AviHeader& layout,
                const MovieChunkIds& ids, std::int64_t headerBytes);

// The bytes of a stream's ix## chunk for one segment.
std::int64_t StandardIndexBytes(const StreamCount& count);

// Where a chunk of the run lies in the output file.
std::int64_t OutputOffset(const RunPlan& plan, std::size_t segment, const MovieChunk& chunk);

}  // namespace frambit
