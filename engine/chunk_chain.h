#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/avi_header.h"
#include "engine/fragment_hit.h"
#include "engine/signature_search.h"

namespace frambit {

enum class ChunkRole {
  Video,          // ##dc, ##db: one frame
  PaletteChange,  // ##pc
  Audio,          // ##wb
  Text,           // ##tx
  Filler,         // JUNK, ix##: sits between a stream's chunks, carries nothing to play
  RecordList,     // LIST "rec ": a group of chunks; only its 12-byte header counts
};

struct MovieChunkId {
  std::uint32_t identifier;
  ChunkRole role;
  int stream;               // -1 for JUNK and LIST
  std::uint32_t maxBytes;   // the largest size field taken for a chunk that closes a run
};

// The chunk identifiers that may follow one another in the movie list of a
// file like the sample: its streams' chunks and what may sit between them.
class MovieChunkIds {
 public:
  explicit MovieChunkIds(const AviHeader& header);

  PatternList Patterns() const;
  // nullptr for an identifier that is none of these.
  const MovieChunkId* Find(std::uint32_t identifier) const;

 private:
  std::vector<MovieChunkId> ids_;
};

// One chunk of a run as found in the target.
struct MovieChunk {
  std::int64_t offset;     // of the identifier
  std::uint32_t identifier;
  std::uint32_t size;      // the size field; a LIST "rec " spans 12 bytes whatever it says
};

struct ChunkRun {
  std::vector<MovieChunk> chunks;
  std::int64_t start = 0;  // the first chunk's offset
  std::int64_t end = 0;    // just past the last chunk and its pad byte
};

// The bytes from a chunk's offset to where the next chunk may begin: its
// header and data, and a pad byte after odd data.
std::int64_t ChunkSpan(const MovieChunk& chunk);
// The same without the pad byte: the next chunk begins here or one byte later.
std::int64_t UnpaddedSpan(const MovieChunk& chunk);

// True when the LIST header at offset is a LIST "rec ".
using RecordListTest = std::function<bool(std::int64_t offset)>;

// Follows the chains of chunk headers through the sorted hits and hands each
// run to onRun, in order. From a chunk, the next one is the hit at its end,
// or one pad byte later, whose identifier is one of ids; hits inside a
// chunk's data are passed over. A run begins with a chunk of a stream, holds
// at least two chunks and ends with a chunk of a stream: the chunk that
// closes it is kept when it lies inside the target and its size is
// plausible for its identifier, and JUNK, ix## and LIST headers at its tail
// are left out.
void FollowChains(const HitList& hits, const MovieChunkIds& ids, std::int64_t targetSize,
                  const RecordListTest& isRecordList, const std::function<void(const ChunkRun&)>& onRun);

}  // namespace frambit
