#include "engine/chunk_chain.h"

#include <algorithm>

#include "engine/little_endian.h"

namespace frambit {
namespace {

constexpr std::uint32_t kMinPlausibleBytes = 1 << 20;
// A recovered video may hold busier pictures than the sample did.
constexpr std::uint32_t kPlausibleFactor = 8;
constexpr std::int64_t kRecordListBytes = 12;

std::uint32_t StreamChunkId(int stream, char first, char second) {
  const char text[5] = {static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), first, second, 0};
  return FourCc(text);
}

bool CarriesMedia(ChunkRole role) { return role != ChunkRole::Filler && role != ChunkRole::RecordList; }

}  // namespace

MovieChunkIds::MovieChunkIds(const AviHeader& header) {
  std::uint32_t largest = header.suggestedBufferBytes;
  for (const AviStream& stream : header.streams) largest = std::max(largest, stream.suggestedBufferBytes);
  const std::uint32_t maxBytes =
      largest > UINT32_MAX / kPlausibleFactor ? UINT32_MAX : std::max(kMinPlausibleBytes, largest * kPlausibleFactor);
  for (const AviStream& stream : header.streams) {
    const int n = stream.number;
    if (stream.type == FourCc("vids")) {
      ids_.push_back({StreamChunkId(n, 'd', 'c'), ChunkRole::Video, n, maxBytes});
      ids_.push_back({StreamChunkId(n, 'd', 'b'), ChunkRole::Video, n, maxBytes});
      if (stream.paletteChanges) ids_.push_back({StreamChunkId(n, 'p', 'c'), ChunkRole::PaletteChange, n, maxBytes});
    } else if (stream.type == FourCc("auds")) {
      ids_.push_back({StreamChunkId(n, 'w', 'b'), ChunkRole::Audio, n, maxBytes});
    } else if (stream.type == FourCc("txts")) {
      ids_.push_back({StreamChunkId(n, 't', 'x'), ChunkRole::Text, n, maxBytes});
    } else {
      continue;
    }
    const char index[5] = {'i', 'x', static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), 0};
    ids_.push_back({FourCc(index), ChunkRole::Filler, n, maxBytes});
  }
  ids_.push_back({FourCc("JUNK"), ChunkRole::Filler, -1, maxBytes});
  ids_.push_back({FourCc("LIST"), ChunkRole::RecordList, -1, UINT32_MAX});
}

PatternList MovieChunkIds::Patterns() const {
  PatternList patterns;
  for (const MovieChunkId& id : ids_) patterns.push_back(PatternOf(id.identifier));
  return patterns;
}

const MovieChunkId* MovieChunkIds::Find(std::uint32_t identifier) const {
  for (const MovieChunkId& id : ids_)
    if (id.identifier == identifier) return &id;
  return nullptr;
}

std::int64_t UnpaddedSpan(const MovieChunk& chunk) {
  return chunk.identifier == FourCc("LIST") ? kRecordListBytes : 8 + std::int64_t{chunk.size};
}

std::int64_t ChunkSpan(const MovieChunk& chunk) {
  return UnpaddedSpan(chunk) + (chunk.identifier != FourCc("LIST") && chunk.size % 2 == 1);
}

void FollowChains(const HitList& hits, const MovieChunkIds& ids, std::int64_t targetSize,
                  const RecordListTest& isRecordList, const std::function<void(const ChunkRun&)>& onRun) {
  const auto sizeOf = [](const FragmentHit& hit) { return static_cast<std::uint32_t>(hit.length) - 8u; };
  ChunkRun run;
  std::size_t i = 0;
  while (i < hits.size()) {
    const MovieChunkId* first = ids.Find(hits[i].identifier);
    if (first == nullptr || !CarriesMedia(first->role)) {
      ++i;
      continue;
    }
    run.chunks.assign(1, {hits[i].offset, hits[i].identifier, sizeOf(hits[i])});
    std::size_t next = i + 1;
    while (true) {
      const MovieChunk& last = run.chunks.back();
      const std::int64_t end = last.offset + UnpaddedSpan(last);
      while (next < hits.size() && hits[next].offset < end) ++next;
      // The next header lies at the end, or one pad byte later.
      std::size_t found = hits.size();
      for (std::size_t k = next; k < hits.size() && hits[k].offset <= end + 1; ++k) {
        const MovieChunkId* id = ids.Find(hits[k].identifier);
        if (id == nullptr) continue;
        if (id->role == ChunkRole::RecordList && !isRecordList(hits[k].offset)) continue;
        found = k;
        break;
      }
      if (found == hits.size()) break;
      run.chunks.push_back({hits[found].offset, hits[found].identifier, sizeOf(hits[found])});
      next = found + 1;
    }
    const bool linked = run.chunks.size() >= 2;
    // The closing chunk has no header behind it to vouch for its size.
    const MovieChunk& closing = run.chunks.back();
    const MovieChunkId* closingId = ids.Find(closing.identifier);
    if (closing.size > closingId->maxBytes || UnpaddedSpan(closing) > targetSize - closing.offset)
      run.chunks.pop_back();
    while (!run.chunks.empty() && !CarriesMedia(ids.Find(run.chunks.back().identifier)->role)) run.chunks.pop_back();
    if (!linked || run.chunks.empty()) {
      ++i;
      continue;
    }
    run.start = run.chunks.front().offset;
    run.end = run.chunks.back().offset + ChunkSpan(run.chunks.back());
    onRun(run);
    while (i < hits.size() && hits[i].offset < run.end) ++i;
  }
}

}  // namespace frambit
