#pragma once

// The readers of file-system allocation maps behind ReadVolumeBitmap. Plain
// C++ on the target's bytes; every number read from the medium is treated as
// hostile: offsets are checked by subtraction against the region, and no
// buffer is sized by what a field claims.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/input_stream.h"
#include "platform/volume_bitmap.h"

namespace frambit::platform::maps {

// A byte range of the target: the whole target, or one partition of it.
class Region {
 public:
  Region(InputStream& stream, std::int64_t offsetBytes, std::int64_t lengthBytes)
      : stream_(&stream), offset_(offsetBytes), length_(lengthBytes) {}

  std::int64_t Length() const { return length_; }
  std::int64_t Offset() const { return offset_; }
  bool Contains(std::int64_t at, std::int64_t bytes) const {
    return at >= 0 && bytes >= 0 && at <= length_ && bytes <= length_ - at;
  }
  // Reads out.size() bytes at `at` inside the region. False when the range
  // leaves the region or the target delivered fewer bytes.
  bool Read(std::int64_t at, std::span<std::byte> out) const;
  std::vector<std::byte> ReadBytes(std::int64_t at, std::size_t bytes, bool& ok) const;
  Region Sub(std::int64_t at, std::int64_t bytes) const { return Region(*stream_, offset_ + at, bytes); }

 private:
  InputStream* stream_;
  std::int64_t offset_;
  std::int64_t length_;
};

inline std::uint64_t Le(std::span<const std::byte> bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | std::to_integer<std::uint64_t>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}
inline std::uint16_t Le16(std::span<const std::byte> b, std::size_t at) { return static_cast<std::uint16_t>(Le(b, at, 2)); }
inline std::uint32_t Le32(std::span<const std::byte> b, std::size_t at) { return static_cast<std::uint32_t>(Le(b, at, 4)); }
inline std::uint64_t Le64(std::span<const std::byte> b, std::size_t at) { return Le(b, at, 8); }

// Whether bytes[at, at + 8) spell an eight-character signature.
inline bool HasSignature(std::span<const std::byte> bytes, std::size_t at, const char (&signature)[9]) {
  for (std::size_t i = 0; i < 8; ++i)
    if (bytes[at + i] != std::byte{static_cast<std::uint8_t>(signature[i])}) return false;
  return true;
}

inline void MarkUsed(std::span<std::uint8_t> bits, std::int64_t index) {
  bits[static_cast<std::size_t>(index / 8)] |= static_cast<std::uint8_t>(1u << (index % 8));
}
inline bool IsMarked(std::span<const std::uint8_t> bits, std::int64_t index) {
  return (bits[static_cast<std::size_t>(index / 8)] >> (index % 8) & 1u) != 0;
}

// A bitmap stored as a file in pieces on the volume, bit i (least
// significant first) set when cluster i is in use. The locator tells where
// bitmap byte byteIndex lies on the region (offsetBytes -1: a sparse piece,
// all clear) and how many bytes of the same piece follow from there; false
// when the bitmap has no such byte.
struct BitmapPiece {
  std::int64_t offsetBytes = 0;
  std::int64_t bytes = 0;
};
using BitmapLocator = std::function<bool(std::int64_t byteIndex, BitmapPiece& piece)>;

// Marks in used the clusters in use among [first, first + count).
bool CopyStoredBitmap(const Region& region, std::int64_t first, std::int64_t count, std::span<std::uint8_t> used,
                      const BitmapLocator& locate);

// One file system's map of which clusters are in use.
class AllocationMap {
 public:
  virtual ~AllocationMap() = default;

  // SectorsPerCluster and BytesPerSector are set, the counts still zero;
  // clusterZeroOffsetBytes is relative to the map's region.
  virtual ClusterGeometry Layout() const = 0;
  virtual std::int64_t ClusterCount() const = 0;
  // Marks in `used` (zeroed by the caller, bit i for cluster first + i) the
  // clusters in use among [first, first + count), count <= 32768 and inside
  // the volume. False when the map cannot be read or is damaged.
  virtual bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) = 0;
};

// The file system that gives itself away in region's first sectors:
// nullptr when none does; a map whose reads fail when its fields contradict
// each other or the region.
std::unique_ptr<AllocationMap> OpenFileSystemMap(const Region& region);

// Each reader: nullptr when region holds no such file system.
std::unique_ptr<AllocationMap> OpenFatMap(const Region& region);
std::unique_ptr<AllocationMap> OpenExfatMap(const Region& region);
std::unique_ptr<AllocationMap> OpenNtfsMap(const Region& region);
std::unique_ptr<AllocationMap> OpenExtMap(const Region& region);
// A whole disk with an MBR or GPT partition table, counted in 512-byte
// sectors: the partitions' own maps, everything outside them free.
std::unique_ptr<AllocationMap> OpenPartitionedDiskMap(const Region& region);

// Recognised, but its fields contradict each other or the region.
std::unique_ptr<AllocationMap> DamagedMap(std::uint32_t bytesPerSector, std::uint32_t sectorsPerCluster);

}  // namespace frambit::platform::maps
