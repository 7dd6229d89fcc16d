#include "engine/smart_writer.h"

#include <algorithm>
#include <utility>

#include "engine/key_frame.h"
#include "engine/little_endian.h"
#include "engine/run_output.h"
#include "engine/sector_reader.h"

namespace frambit {
namespace {

constexpr std::uint32_t kHasIndex = 0x10;               // AVIF_HASINDEX: players may use idx1
constexpr std::uint32_t kIdx1KeyFrame = 0x10;           // AVIIF_KEYFRAME
constexpr std::uint32_t kIxNotKeyFrame = 0x80000000u;   // the top bit of an ix## entry's size
constexpr std::int64_t kIdx1EntryBytes = 16;
constexpr std::int64_t kIxHeaderBytes = 8 + 24;
constexpr std::int64_t kIxEntryBytes = 8;
constexpr std::uint32_t kSuperIndexHeaderBytes = 24;
constexpr std::uint32_t kSuperIndexEntryBytes = 16;
constexpr std::int64_t kAvixHeadBytes = 24;  // RIFF size AVIX LIST size movi

// Chunks that a player counts as samples of their stream.
bool IsSample(ChunkRole role) { return role == ChunkRole::Video || role == ChunkRole::Audio || role == ChunkRole::Text; }
// Chunks that idx1 lists: the samples and the palette changes.
bool InIdx1(ChunkRole role) { return IsSample(role) || role == ChunkRole::PaletteChange; }

void Put16(std::vector<std::byte>& out, std::uint16_t value) {
  out.push_back(std::byte{static_cast<std::uint8_t>(value)});
  out.push_back(std::byte{static_cast<std::uint8_t>(value >> 8)});
}
void Put32(std::vector<std::byte>& out, std::uint32_t value) {
  out.resize(out.size() + 4);
  StoreLittleEndian32(out.data() + out.size() - 4, value);
}
void Put64(std::vector<std::byte>& out, std::uint64_t value) {
  out.resize(out.size() + 8);
  StoreLittleEndian64(out.data() + out.size() - 8, value);
}

}  // namespace

// Chunks [first, last) of a run, and the target bytes [start, end) they fill.
struct RiffSegment {
  std::size_t first;
  std::size_t last;
  std::int64_t start;
  std::int64_t end;
};

namespace {

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

}  // namespace

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
  const auto segments = SplitIntoSegments(run);
  if (segments.size() == 1 || HasIndexSpace(run, segments.size())) {
    WriteFile(run, segments, segments.size() > 1);
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
  const std::uint64_t needed = kSuperIndexHeaderBytes + std::uint64_t{kSuperIndexEntryBytes} * segmentCount;
  for (const MovieChunk& chunk : run.chunks) {
    const MovieChunkId* id = ids_.Find(chunk.identifier);
    if (!IsSample(id->role)) continue;
    const AviStream& stream = layout_.streams[static_cast<std::size_t>(id->stream)];
    if (!stream.indexSpaceAt || stream.indexSpaceBytes < needed) return false;
  }
  return true;
}

// How one file is laid out:
//
//   RIFF AVI  [sample header, fitted .. movi][segment 0 data][ix## ...] idx1
//   RIFF AVIX LIST movi [segment 1 data][ix## ...]                 (OpenDML only)
//   ...
//
// Every size is known before the first byte is written; only the key-frame
// flags come from the data, read while it is copied.
void SmartRunWriter::WriteFile(const ChunkRun& run, const std::vector<RiffSegment>& segments, bool openDml) {
  const auto source = openInput_(sourcePath_);
  const std::int64_t targetSize = source->Size();
  ++output_.filesWritten;
  platform::OutputFile file = OpenNumberedOutput(outputFolder_, output_.filesWritten, sourcePath_);

  const std::size_t streamCount = layout_.streams.size();
  std::vector<FrameCoding> codings;
  for (const AviStream& stream : layout_.streams) codings.push_back(CodingOf(stream.handler, stream.compression));
  int firstVideo = -1;
  for (const AviStream& stream : layout_.streams)
    if (stream.type == FourCc("vids") && firstVideo < 0) firstVideo = stream.number;

  // Per segment and stream: samples, their duration in the stream's units,
  // and the identifier the stream's index names.
  struct StreamCount {
    std::uint32_t samples = 0;
    std::uint64_t bytes = 0;
    std::uint32_t identifier = 0;
    std::uint32_t largest = 0;
  };
  std::vector<std::vector<StreamCount>> counts(segments.size(), std::vector<StreamCount>(streamCount));
  std::uint32_t idx1Entries = 0;
  for (std::size_t s = 0; s < segments.size(); ++s) {
    for (std::size_t c = segments[s].first; c < segments[s].last; ++c) {
      const MovieChunkId* id = ids_.Find(run.chunks[c].identifier);
      if (s == 0 && InIdx1(id->role)) ++idx1Entries;
      if (!IsSample(id->role)) continue;
      StreamCount& count = counts[s][static_cast<std::size_t>(id->stream)];
      ++count.samples;
      count.bytes += run.chunks[c].size;
      count.largest = std::max(count.largest, run.chunks[c].size);
      if (count.identifier == 0) count.identifier = run.chunks[c].identifier;
    }
  }
  const auto duration = [&](const StreamCount& count, std::size_t stream) {
    const std::uint32_t sampleSize = layout_.streams[stream].sampleSize;
    const std::uint64_t units =
        layout_.streams[stream].type == FourCc("auds") && sampleSize != 0 ? count.bytes / sampleSize : count.samples;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(units, UINT32_MAX));
  };

  // Output positions.
  struct Placed {
    std::int64_t riffAt = 0;
    std::int64_t dataAt = 0;
    std::vector<std::int64_t> ixAt;  // per stream; 0 when the segment has none
    std::int64_t end = 0;
  };
  const auto ixBytes = [](const StreamCount& count) { return kIxHeaderBytes + kIxEntryBytes * count.samples; };
  const auto headerBytes = static_cast<std::int64_t>(header_.size());
  std::vector<Placed> placed(segments.size());
  std::int64_t position = 0;
  std::int64_t moviEnd = 0;
  for (std::size_t s = 0; s < segments.size(); ++s) {
    Placed& p = placed[s];
    p.riffAt = position;
    position += s == 0 ? headerBytes : kAvixHeadBytes;
    p.dataAt = position;
    position += segments[s].end - segments[s].start;
    p.ixAt.assign(streamCount, 0);
    if (openDml) {
      for (std::size_t k = 0; k < streamCount; ++k) {
        if (counts[s][k].samples == 0) continue;
        p.ixAt[k] = position;
        position += ixBytes(counts[s][k]);
      }
    }
    if (s == 0) {
      moviEnd = position;
      position += 8 + kIdx1EntryBytes * idx1Entries;
    }
    p.end = position;
  }

  // The header, fitted.
  std::vector<std::byte> header = header_;
  const auto store = [&header](std::size_t at, std::uint32_t value) { StoreLittleEndian32(header.data() + at, value); };
  const auto load = [&header](std::size_t at) { return LoadLittleEndian32(header.data() + at); };
  store(4, static_cast<std::uint32_t>(placed[0].end - 8));
  store(layout_.flagsField, load(layout_.flagsField) | kHasIndex);
  store(layout_.moviSizeField, static_cast<std::uint32_t>(moviEnd - (headerBytes - 4)));
  std::uint32_t totalFrames = 0;
  if (firstVideo >= 0) {
    for (const auto& segment : counts) totalFrames += segment[static_cast<std::size_t>(firstVideo)].samples;
    store(layout_.totalFramesField, counts[0][static_cast<std::size_t>(firstVideo)].samples);
  } else {
    store(layout_.totalFramesField, 0);
  }
  if (layout_.odmlFramesField) store(*layout_.odmlFramesField, totalFrames);
  for (std::size_t k = 0; k < streamCount; ++k) {
    const AviStream& stream = layout_.streams[k];
    StreamCount total;
    for (const auto& segment : counts) {
      total.samples += segment[k].samples;
      total.bytes += segment[k].bytes;
      total.largest = std::max(total.largest, segment[k].largest);
      if (total.identifier == 0) total.identifier = segment[k].identifier;
    }
    store(stream.lengthField, duration(total, k));
    // Players size their read buffer by these; the run may hold larger chunks than the sample.
    store(stream.suggestedBufferField, std::max(load(stream.suggestedBufferField), total.largest));
    store(layout_.suggestedBufferField, std::max(load(layout_.suggestedBufferField), total.largest));
    if (!stream.indexSpaceAt) continue;
    // The sample's own super index points into the sample: it goes, and an
    // OpenDML file gets one that points at its own ix## chunks.
    const std::size_t at = *stream.indexSpaceAt;
    const std::uint64_t needed = kSuperIndexHeaderBytes + std::uint64_t{kSuperIndexEntryBytes} * segments.size();
    if (!openDml || stream.indexSpaceBytes < needed) {
      store(at, FourCc("JUNK"));
      continue;
    }
    std::vector<std::byte> index;
    Put16(index, 4);  // wLongsPerEntry
    index.push_back(std::byte{0});  // bIndexSubType
    index.push_back(std::byte{0});  // bIndexType: AVI_INDEX_OF_INDEXES
    std::uint32_t inUse = 0;
    for (std::size_t s = 0; s < segments.size(); ++s) inUse += counts[s][k].samples > 0;
    Put32(index, inUse);
    Put32(index, total.identifier);
    for (int i = 0; i < 3; ++i) Put32(index, 0);
    for (std::size_t s = 0; s < segments.size(); ++s) {
      if (counts[s][k].samples == 0) continue;
      Put64(index, static_cast<std::uint64_t>(placed[s].ixAt[k]));
      Put32(index, static_cast<std::uint32_t>(ixBytes(counts[s][k])));
      Put32(index, duration(counts[s][k], k));
    }
    store(at, FourCc("indx"));
    std::fill(header.begin() + static_cast<std::ptrdiff_t>(at + 8),
              header.begin() + static_cast<std::ptrdiff_t>(at + 8 + stream.indexSpaceBytes), std::byte{0});
    std::copy(index.begin(), index.end(), header.begin() + static_cast<std::ptrdiff_t>(at + 8));
  }
  file.Write(header);

  std::vector<std::uint8_t> key(run.chunks.size(), 1);
  const auto probe = [&](std::size_t c) {
    const MovieChunk& chunk = run.chunks[c];
    const MovieChunkId* id = ids_.Find(chunk.identifier);
    return id->role == ChunkRole::Video && codings[static_cast<std::size_t>(id->stream)] != FrameCoding::IntraOnly;
  };
  const auto probeBytes = [&](std::size_t c) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(run.chunks[c].size, kKeyFrameProbeBytes));
  };
  const auto decideAlone = [&](std::size_t c) {
    std::int64_t ignored = 0;  // counted where the bytes are copied
    const auto bytes = SectorAlignedRead(*source, static_cast<std::int32_t>(probeBytes(c)), run.chunks[c].offset + 8,
                                         probeScratch_, ignored);
    key[c] = IsKeyFrame(codings[static_cast<std::size_t>(ids_.Find(run.chunks[c].identifier)->stream)], bytes);
  };

  for (std::size_t s = 0; s < segments.size(); ++s) {
    const RiffSegment& segment = segments[s];
    const Placed& p = placed[s];
    if (s > 0) {
      std::vector<std::byte> head;
      Put32(head, FourCc("RIFF"));
      Put32(head, static_cast<std::uint32_t>(p.end - p.riffAt - 8));
      Put32(head, FourCc("AVIX"));
      Put32(head, FourCc("LIST"));
      Put32(head, static_cast<std::uint32_t>(p.end - p.riffAt - 20));
      Put32(head, FourCc("movi"));
      file.Write(head);
    }
    // The key-frame test reads the first bytes of each frame from the piece
    // being copied; only a frame whose first bytes straddle two pieces is
    // read again on its own.
    std::size_t cursor = segment.first;
    const auto observe = [&](std::int64_t offset, std::span<const std::byte> piece) {
      const std::int64_t pieceEnd = offset + static_cast<std::int64_t>(piece.size());
      for (; cursor < segment.last; ++cursor) {
        if (!probe(cursor)) continue;
        const std::int64_t dataAt = run.chunks[cursor].offset + 8;
        if (dataAt + probeBytes(cursor) > pieceEnd) break;
        if (dataAt < offset) {
          decideAlone(cursor);
          continue;
        }
        key[cursor] = IsKeyFrame(codings[static_cast<std::size_t>(ids_.Find(run.chunks[cursor].identifier)->stream)],
                                 piece.subspan(static_cast<std::size_t>(dataAt - offset),
                                               static_cast<std::size_t>(probeBytes(cursor))));
      }
    };
    const std::int64_t copyEnd = std::min(segment.end, targetSize);
    CopyTargetRange(view_, *source, segment.start, copyEnd - segment.start, file, scratch_, output_.unreadableBytes,
                    observe);
    // A pad byte the target ends before.
    if (copyEnd < segment.end) file.Write(std::vector<std::byte>(static_cast<std::size_t>(segment.end - copyEnd)));
    for (; cursor < segment.last; ++cursor)
      if (probe(cursor)) decideAlone(cursor);

    const auto outputAt = [&](std::size_t c) { return p.dataAt + (run.chunks[c].offset - segment.start); };
    if (openDml) {
      for (std::size_t k = 0; k < streamCount; ++k) {
        if (counts[s][k].samples == 0) continue;
        std::vector<std::byte> ix;
        const char name[5] = {'i', 'x', static_cast<char>('0' + k / 10), static_cast<char>('0' + k % 10), 0};
        Put32(ix, FourCc(name));
        Put32(ix, static_cast<std::uint32_t>(ixBytes(counts[s][k]) - 8));
        Put16(ix, 2);  // wLongsPerEntry
        ix.push_back(std::byte{0});  // bIndexSubType
        ix.push_back(std::byte{1});  // bIndexType: AVI_INDEX_OF_CHUNKS
        Put32(ix, counts[s][k].samples);
        Put32(ix, counts[s][k].identifier);
        Put64(ix, static_cast<std::uint64_t>(p.dataAt));  // qwBaseOffset
        Put32(ix, 0);
        for (std::size_t c = segment.first; c < segment.last; ++c) {
          const MovieChunkId* id = ids_.Find(run.chunks[c].identifier);
          if (!IsSample(id->role) || static_cast<std::size_t>(id->stream) != k) continue;
          Put32(ix, static_cast<std::uint32_t>(outputAt(c) + 8 - p.dataAt));
          Put32(ix, run.chunks[c].size | (key[c] ? 0 : kIxNotKeyFrame));
        }
        file.Write(ix);
      }
    }
    if (s == 0) {
      std::vector<std::byte> idx1;
      Put32(idx1, FourCc("idx1"));
      Put32(idx1, static_cast<std::uint32_t>(kIdx1EntryBytes * idx1Entries));
      for (std::size_t c = segment.first; c < segment.last; ++c) {
        if (!InIdx1(ids_.Find(run.chunks[c].identifier)->role)) continue;
        Put32(idx1, run.chunks[c].identifier);
        Put32(idx1, key[c] ? kIdx1KeyFrame : 0);
        // From the "movi" tag, as most writers count.
        Put32(idx1, static_cast<std::uint32_t>(outputAt(c) - (headerBytes - 4)));
        Put32(idx1, run.chunks[c].size);
      }
      file.Write(idx1);
    }
  }
  file.Close();
  output_.bytesWritten += file.BytesWritten();
}

}  // namespace frambit
