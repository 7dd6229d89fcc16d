#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/input_stream.h"

namespace frambit::platform {

// The statuses a bitmap request answers with, numbered as NT numbers them.
inline constexpr std::int32_t kStatusSuccess = 0;
inline constexpr std::int32_t kStatusPending = 0x103;
inline constexpr std::int32_t kStatusBufferOverflow = static_cast<std::int32_t>(0x80000005u);  // more follows
inline constexpr std::int32_t kStatusInvalidParameter = static_cast<std::int32_t>(0xC000000Du);
inline constexpr std::int32_t kStatusInvalidDeviceRequest = static_cast<std::int32_t>(0xC0000010u);
inline constexpr std::int32_t kStatusAlreadyCommitted = static_cast<std::int32_t>(0xC0000021u);
inline constexpr std::int32_t kStatusBufferTooSmall = static_cast<std::int32_t>(0xC0000023u);
// The allocation map contradicts itself or the medium (a truncated image,
// a table that points past the volume's end, a read error inside the map).
inline constexpr std::int32_t kStatusDiskCorruptError = static_cast<std::int32_t>(0xC0000032u);

// One reply covers at most this many clusters.
inline constexpr std::int64_t kBitmapPieceClusters = 32768;

// One reply of a bitmap request. Bit i of bitmap (least significant bit of
// each byte first) is set when cluster startingCluster + i is in use.
// clustersToEnd counts from startingCluster to the end of the volume and
// may exceed what one reply covers.
struct VolumeBitmapReply {
  std::int64_t startingCluster = 0;
  std::int64_t clustersToEnd = 0;
  std::array<std::uint8_t, kBitmapPieceClusters / 8> bitmap{};
};

// How the clusters of the map lie on the target. Cluster c covers the bytes
// [clusterZeroOffsetBytes + c * SectorsPerCluster * BytesPerSector, + one
// cluster). The four counts saturate at the largest 32-bit value.
struct ClusterGeometry {
  std::uint32_t SectorsPerCluster = 0;
  std::uint32_t BytesPerSector = 0;
  std::uint32_t FreeClusters = 0;
  std::uint32_t TotalClusters = 0;
  std::int64_t clusterZeroOffsetBytes = 0;

  std::int64_t ClusterBytes() const { return std::int64_t{SectorsPerCluster} * BytesPerSector; }
};

// The allocation bitmap of the file system on a target, read from the
// target's own allocation map (never written). Cluster 0 is the first
// cluster the map describes.
class VolumeBitmap {
 public:
  virtual ~VolumeBitmap() = default;

  virtual ClusterGeometry Geometry() = 0;

  // Fills reply from startingCluster on and returns kStatusSuccess when the
  // reply reaches the end of the volume, kStatusBufferOverflow when more
  // clusters follow, kStatusInvalidParameter for a start past the end, and
  // kStatusDiskCorruptError when the map cannot be read or is damaged.
  virtual std::int32_t GetVolumeBitmap(std::int64_t startingCluster, VolumeBitmapReply& reply) = 0;
};

// Reads the file system or the partition table at the start of target:
// FAT12/16/32, exFAT, NTFS, ext2/3/4, or a whole disk with an MBR or GPT
// partition table. Returns nullptr when none is found. A file system whose
// map is damaged still gives a bitmap, whose requests fail.
std::unique_ptr<VolumeBitmap> ReadVolumeBitmap(std::unique_ptr<InputStream> target);

}  // namespace frambit::platform
