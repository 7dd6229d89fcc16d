#include "engine/run_plan.h"

#include <algorithm>

#include "engine/little_endian.h"

namespace frambit {
namespace {

constexpr std::int64_t kIdx1EntryBytes = 16;
constexpr std::int64_t kStandardIndexHeaderBytes = 8 + 24;
constexpr std::int64_t kStandardIndexEntryBytes = 8;
constexpr std::int64_t kAvixHeadBytes = 24;  // RIFF size AVIX LIST size movi

}  // namespace

std::vector<RiffSegment> SplitIntoSegments(const ChunkRun& run) {
  std::vector<RiffSegment> segments;
  std::size_t first = 0;
  for (std::size_t k = 1; k <= run.chunks.size(); ++k) {
    const std::int64_t next = k < run.chunks.size() ? run.chunks[k].offset : run.end;
    const bool full = k < run.chunks.size() &&
                      run.chunks[k].offset + ChunkSpan(run.chunks[k]) - run.chunks[first].offset > kRiffSegmentBytes;
    if (k == run.chunks.size() || full) {
      segments.push_back({first, k, run.chunks[first].offset, next});
      first = k;
    }
  }
  return segments;
}

bool IsSample(ChunkRole role) { return role == ChunkRole::Video || role == ChunkRole::Audio || role == ChunkRole::Text; }

bool InIdx1(ChunkRole role) { return IsSample(role) || role == ChunkRole::PaletteChange; }

std::uint32_t StreamDuration(const AviStream& stream, const StreamCount& count) {
  const std::uint64_t units =
      stream.type == FourCc("auds") && stream.sampleSize != 0 ? count.bytes / stream.sampleSize : count.samples;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(units, UINT32_MAX));
}

std::int64_t StandardIndexBytes(const StreamCount& count) {
  return kStandardIndexHeaderBytes + kStandardIndexEntryBytes * count.samples;
}

std::int64_t OutputOffset(const RunPlan& plan, std::size_t segment, const MovieChunk& chunk) {
  return plan.placed[segment].dataAt + (chunk.offset - plan.segments[segment].start);
}

RunPlan PlanRun(const ChunkRun& run, std::vector<RiffSegment> segments, bool openDml, const AviHeader& layout,
                const MovieChunkIds& ids, std::int64_t headerBytes) {
  RunPlan plan;
  plan.segments = std::move(segments);
  plan.openDml = openDml;
  plan.headerBytes = headerBytes;
  const std::size_t streamCount = layout.streams.size();
  const std::size_t segmentCount = plan.segments.size();
  plan.counts.assign(segmentCount, std::vector<StreamCount>(streamCount));
  plan.totals.assign(streamCount, {});
  for (std::size_t s = 0; s < segmentCount; ++s) {
    for (std::size_t c = plan.segments[s].first; c < plan.segments[s].last; ++c) {
      const MovieChunk& chunk = run.chunks[c];
      const MovieChunkId* id = ids.Find(chunk.identifier);
      if (s == 0 && InIdx1(id->role)) ++plan.idx1Entries;
      if (!IsSample(id->role)) continue;
      const auto stream = static_cast<std::size_t>(id->stream);
      for (StreamCount* count : {&plan.counts[s][stream], &plan.totals[stream]}) {
        ++count->samples;
        count->bytes += chunk.size;
        count->largest = std::max(count->largest, chunk.size);
        if (count->identifier == 0) count->identifier = chunk.identifier;
      }
    }
  }
  plan.placed.resize(segmentCount);
  std::int64_t position = 0;
  for (std::size_t s = 0; s < segmentCount; ++s) {
    PlacedSegment& placed = plan.placed[s];
    placed.riffAt = position;
    position += s == 0 ? headerBytes : kAvixHeadBytes;
    placed.dataAt = position;
    position += plan.segments[s].end - plan.segments[s].start;
    placed.ixAt.assign(streamCount, 0);
    for (std::size_t k = 0; k < streamCount && openDml; ++k) {
      if (plan.counts[s][k].samples == 0) continue;
      placed.ixAt[k] = position;
      position += StandardIndexBytes(plan.counts[s][k]);
    }
    if (s == 0) {
      plan.moviEnd = position;
      position += 8 + kIdx1EntryBytes * plan.idx1Entries;
    }
    placed.end = position;
  }
  return plan;
}

}  // namespace frambit
