#include "engine/smart_writer.h"

#include <algorithm>
#include <utility>

#include "engine/avi_index.h"
#include "engine/key_frame.h"
#include "engine/little_endian.h"
#include "engine/run_output.h"
#include "engine/sector_reader.h"

namespace frambit {

SmartRunWriter::SmartRunWriter(SessionView& view, std::string sourcePath, std::string outputFolder,
                               std::vector<std::byte> header, AviHeader layout, const MovieChunkIds& ids,
                               platform::InputOpener openInput)
    : view_(view),
      sourcePath_(std::move(sourcePath)),
      outputFolder_(std::move(outputFolder)),
      header_(std::move(header)),
      layout_(std::move(layout)),
      ids_(ids),
      openInput_(std::move(openInput)) {}

void SmartRunWriter::Write(const ChunkRun& run) {
  std::vector<RiffSegment> segments = SplitIntoSegments(run);
  if (segments.size() == 1 || HasIndexSpace(run, segments.size())) {
    const bool openDml = segments.size() > 1;
    WriteFile(run, std::move(segments), openDml);
    return;
  }
  // Without room for a super index in the sample's header, each segment
  // becomes a file of its own that AVI 1.0 can describe.
  for (const RiffSegment& segment : segments) {
    ChunkRun part;
    part.chunks.assign(run.chunks.begin() + static_cast<std::ptrdiff_t>(segment.first),
                       run.chunks.begin() + static_cast<std::ptrdiff_t>(segment.last));
    part.start = segment.start;
    part.end = segment.end;
    WriteFile(part, {{0, part.chunks.size(), part.start, part.end}}, false);
  }
}

bool SmartRunWriter::HasIndexSpace(const ChunkRun& run, std::size_t segmentCount) const {
  for (const MovieChunk& chunk : run.chunks) {
    const MovieChunkId* id = ids_.Find(chunk.identifier);
    if (!IsSample(id->role)) continue;
    const AviStream& stream = layout_.streams[static_cast<std::size_t>(id->stream)];
    if (!stream.indexSpaceAt || stream.indexSpaceBytes < SuperIndexBytes(segmentCount)) return false;
  }
  return true;
}

// Every size is known before the first byte is written; only the key-frame
// flags come from the data, read while it is copied.
void SmartRunWriter::WriteFile(const ChunkRun& run, std::vector<RiffSegment> segments, bool openDml) {
  const auto source = openInput_(sourcePath_);
  const std::int64_t targetSize = source->Size();
  ++output_.filesWritten;
  platform::OutputFile file = OpenNumberedOutput(outputFolder_, output_.filesWritten, sourcePath_);
  const RunPlan plan =
      PlanRun(run, std::move(segments), openDml, layout_, ids_, static_cast<std::int64_t>(header_.size()));
  file.Write(FitHeader(header_, layout_, plan));

  std::vector<FrameCoding> codings;
  for (const AviStream& stream : layout_.streams) codings.push_back(CodingOf(stream.handler, stream.compression));
  // The coding of a chunk's frames when its key-frame flag must be read
  // from its data; nullptr when every chunk of its kind is a key frame.
  const auto codingToRead = [&](std::size_t c) -> const FrameCoding* {
    const MovieChunkId* id = ids_.Find(run.chunks[c].identifier);
    if (id->role != ChunkRole::Video) return nullptr;
    const FrameCoding& coding = codings[static_cast<std::size_t>(id->stream)];
    return coding == FrameCoding::IntraOnly ? nullptr : &coding;
  };
  const auto probeBytes = [&](std::size_t c) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(run.chunks[c].size, kKeyFrameProbeBytes));
  };
  KeyFlags key(run.chunks.size(), 1);
  const auto readAlone = [&](std::size_t c) {
    std::int64_t ignored = 0;  // counted where the bytes are copied
    key[c] = IsKeyFrame(*codingToRead(c), SectorAlignedRead(*source, static_cast<std::int32_t>(probeBytes(c)),
                                                            run.chunks[c].offset + 8, probeScratch_, ignored));
  };

  for (std::size_t s = 0; s < plan.segments.size(); ++s) {
    const RiffSegment& segment = plan.segments[s];
    if (s > 0) file.Write(ExtensionHead(plan, s));
    // The key-frame test reads the first bytes of each frame from the piece
    // being copied; only a frame whose first bytes straddle two pieces is
    // read again on its own.
    std::size_t cursor = segment.first;
    const auto observe = [&](std::int64_t offset, std::span<const std::byte> piece) {
      const std::int64_t pieceEnd = offset + static_cast<std::int64_t>(piece.size());
      for (; cursor < segment.last; ++cursor) {
        const FrameCoding* coding = codingToRead(cursor);
        if (coding == nullptr) continue;
        const std::int64_t dataAt = run.chunks[cursor].offset + 8;
        if (dataAt + probeBytes(cursor) > pieceEnd) break;
        if (dataAt < offset) {
          readAlone(cursor);
          continue;
        }
        key[cursor] = IsKeyFrame(*coding, piece.subspan(static_cast<std::size_t>(dataAt - offset),
                                                        static_cast<std::size_t>(probeBytes(cursor))));
      }
    };
    const std::int64_t copyEnd = std::min(segment.end, targetSize);
    CopyTargetRange(view_, *source, segment.start, copyEnd - segment.start, file, scratch_, output_.unreadableBytes,
                    observe);
    // A pad byte the target ends before.
    if (copyEnd < segment.end) file.Write(std::vector<std::byte>(static_cast<std::size_t>(segment.end - copyEnd)));
    for (; cursor < segment.last; ++cursor)
      if (codingToRead(cursor) != nullptr) readAlone(cursor);

    for (std::size_t k = 0; k < layout_.streams.size() && openDml; ++k)
      if (plan.counts[s][k].samples > 0) file.Write(StandardIndex(run, plan, s, k, ids_, key));
    if (s == 0) file.Write(Idx1(run, plan, ids_, key));
  }
  file.Close();
  output_.bytesWritten += file.BytesWritten();
}

}  // namespace frambit
