#include "engine/avi_index.h"

#include <algorithm>

#include "engine/little_endian.h"

namespace frambit {
namespace {

constexpr std::uint32_t kHasIndex = 0x10;              // AVIF_HASINDEX: players may use idx1
constexpr std::uint32_t kIdx1KeyFrame = 0x10;          // AVIIF_KEYFRAME
constexpr std::uint32_t kIxNotKeyFrame = 0x80000000u;  // the top bit of an ix## entry's size
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr std::uint64_t kSuperIndexHeaderBytes = 24;
constexpr std::uint64_t kSuperIndexEntryBytes = 16;

std::uint32_t StreamIndexId(std::size_t stream) {
  const char name[5] = {'i', 'x', static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), 0};
  return FourCc(name);
}

std::vector<std::byte> SuperIndex(const RunPlan& plan, const AviStream& stream, std::size_t k) {
  std::vector<std::byte> index;
  AppendLittleEndian<2>(index, 4);  // wLongsPerEntry
  AppendLittleEndian<1>(index, 0);  // bIndexSubType
  AppendLittleEndian<1>(index, kIndexOfIndexes);
  std::uint32_t inUse = 0;
  for (const auto& segment : plan.counts) inUse += segment[k].samples > 0;
  AppendLittleEndian<4>(index, inUse);
  AppendLittleEndian<4>(index, plan.totals[k].identifier);
  for (int i = 0; i < 3; ++i) AppendLittleEndian<4>(index, 0);  // dwReserved[3]
  for (std::size_t s = 0; s < plan.segments.size(); ++s) {
    const StreamCount& count = plan.counts[s][k];
    if (count.samples == 0) continue;
    AppendLittleEndian<8>(index, static_cast<std::uint64_t>(plan.placed[s].ixAt[k]));
    AppendLittleEndian<4>(index, static_cast<std::uint32_t>(StandardIndexBytes(count)));
    AppendLittleEndian<4>(index, StreamDuration(stream, count));
  }
  return index;
}

}  // namespace

std::uint64_t SuperIndexBytes(std::size_t segmentCount) {
  return kSuperIndexHeaderBytes + kSuperIndexEntryBytes * segmentCount;
}

std::vector<std::byte> FitHeader(std::vector<std::byte> header, const AviHeader& layout, const RunPlan& plan) {
  const auto store = [&header](std::size_t at, std::uint32_t value) { StoreLittleEndian32(header.data() + at, value); };
  const auto load = [&header](std::size_t at) { return LoadLittleEndian32(header.data() + at); };
  store(4, static_cast<std::uint32_t>(plan.placed[0].end - 8));
  store(layout.moviSizeField, static_cast<std::uint32_t>(plan.moviEnd - (plan.headerBytes - 4)));
  store(layout.flagsField, load(layout.flagsField) | kHasIndex);
  // avih counts the first RIFF's frames, dmlh all of them.
  const auto video = std::find_if(layout.streams.begin(), layout.streams.end(),
                                  [](const AviStream& stream) { return stream.type == FourCc("vids"); });
  const auto k = static_cast<std::size_t>(video - layout.streams.begin());
  store(layout.totalFramesField, video == layout.streams.end() ? 0 : plan.counts[0][k].samples);
  if (layout.odmlFramesField) store(*layout.odmlFramesField, video == layout.streams.end() ? 0 : plan.totals[k].samples);

  for (std::size_t s = 0; s < layout.streams.size(); ++s) {
    const AviStream& stream = layout.streams[s];
    const StreamCount& total = plan.totals[s];
    store(stream.lengthField, StreamDuration(stream, total));
    // Players size their read buffers by these; a run may hold larger chunks than the sample.
    store(stream.suggestedBufferField, std::max(load(stream.suggestedBufferField), total.largest));
    store(layout.suggestedBufferField, std::max(load(layout.suggestedBufferField), total.largest));
    if (!stream.indexSpaceAt) continue;
    const std::size_t at = *stream.indexSpaceAt;
    if (!plan.openDml || stream.indexSpaceBytes < SuperIndexBytes(plan.segments.size())) {
      store(at, FourCc("JUNK"));
      continue;
    }
    const std::vector<std::byte> index = SuperIndex(plan, stream, s);
    const auto data = header.begin() + static_cast<std::ptrdiff_t>(at + 8);
    store(at, FourCc("indx"));
    std::fill(data, data + stream.indexSpaceBytes, std::byte{0});
    std::copy(index.begin(), index.end(), data);
  }
  return header;
}

std::vector<std::byte> ExtensionHead(const RunPlan& plan, std::size_t segment) {
  const PlacedSegment& placed = plan.placed[segment];
  std::vector<std::byte> head;
  AppendLittleEndian<4>(head, FourCc("RIFF"));
  AppendLittleEndian<4>(head, static_cast<std::uint32_t>(placed.end - placed.riffAt - 8));
  AppendLittleEndian<4>(head, FourCc("AVIX"));
  AppendLittleEndian<4>(head, FourCc("LIST"));
  AppendLittleEndian<4>(head, static_cast<std::uint32_t>(placed.end - placed.riffAt - 20));
  AppendLittleEndian<4>(head, FourCc("movi"));
  return head;
}

std::vector<std::byte> StandardIndex(const ChunkRun& run, const RunPlan& plan, std::size_t segment, std::size_t stream,
                                     const MovieChunkIds& ids, const KeyFlags& key) {
  const StreamCount& count = plan.counts[segment][stream];
  const std::int64_t base = plan.placed[segment].dataAt;
  std::vector<std::byte> ix;
  AppendLittleEndian<4>(ix, StreamIndexId(stream));
  AppendLittleEndian<4>(ix, static_cast<std::uint32_t>(StandardIndexBytes(count) - 8));
  AppendLittleEndian<2>(ix, 2);  // wLongsPerEntry
  AppendLittleEndian<1>(ix, 0);  // bIndexSubType
  AppendLittleEndian<1>(ix, kIndexOfChunks);
  AppendLittleEndian<4>(ix, count.samples);
  AppendLittleEndian<4>(ix, count.identifier);
  AppendLittleEndian<8>(ix, static_cast<std::uint64_t>(base));  // qwBaseOffset
  AppendLittleEndian<4>(ix, 0);                                  // dwReserved
  for (std::size_t c = plan.segments[segment].first; c < plan.segments[segment].last; ++c) {
    const MovieChunkId* id = ids.Find(run.chunks[c].identifier);
    if (!IsSample(id->role) || static_cast<std::size_t>(id->stream) != stream) continue;
    // Entries point at the chunk's data, behind its header.
    AppendLittleEndian<4>(ix, static_cast<std::uint32_t>(OutputOffset(plan, segment, run.chunks[c]) + 8 - base));
    AppendLittleEndian<4>(ix, run.chunks[c].size | (key[c] ? 0 : kIxNotKeyFrame));
  }
  return ix;
}

std::vector<std::byte> Idx1(const ChunkRun& run, const RunPlan& plan, const MovieChunkIds& ids, const KeyFlags& key) {
  std::vector<std::byte> idx1;
  AppendLittleEndian<4>(idx1, FourCc("idx1"));
  AppendLittleEndian<4>(idx1, 16 * plan.idx1Entries);
  const std::int64_t movi = plan.headerBytes - 4;  // where the "movi" tag lies
  for (std::size_t c = plan.segments[0].first; c < plan.segments[0].last; ++c) {
    if (!InIdx1(ids.Find(run.chunks[c].identifier)->role)) continue;
    AppendLittleEndian<4>(idx1, run.chunks[c].identifier);
    AppendLittleEndian<4>(idx1, key[c] ? kIdx1KeyFrame : 0);
    AppendLittleEndian<4>(idx1, static_cast<std::uint32_t>(OutputOffset(plan, 0, run.chunks[c]) - movi));
    AppendLittleEndian<4>(idx1, run.chunks[c].size);
  }
  return idx1;
}

}  // namespace frambit
