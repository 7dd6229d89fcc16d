#include "platform/volume_bitmap.h"

#include <algorithm>
#include <limits>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform {
namespace {

std::uint32_t Saturated(std::int64_t count) {
  return static_cast<std::uint32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::uint32_t>::max()));
}

class MapVolumeBitmap final : public VolumeBitmap {
 public:
  MapVolumeBitmap(std::unique_ptr<InputStream> target, std::unique_ptr<maps::AllocationMap> map)
      : target_(std::move(target)), map_(std::move(map)) {}

  ClusterGeometry Geometry() override {
    ClusterGeometry geometry = map_->Layout();
    const std::int64_t total = map_->ClusterCount();
    geometry.TotalClusters = Saturated(total);
    // Free clusters as the map tells them; 0 when it cannot be read through.
    std::int64_t freeCount = 0;
    VolumeBitmapReply reply;
    for (std::int64_t start = 0; start < total; start += kBitmapPieceClusters) {
      const std::int32_t status = GetVolumeBitmap(start, reply);
      if (status != kStatusSuccess && status != kStatusBufferOverflow) {
        freeCount = 0;
        break;
      }
      const std::int64_t covered = std::min(reply.clustersToEnd, kBitmapPieceClusters);
      for (std::int64_t i = 0; i < covered; ++i)
        if (!maps::IsMarked(reply.bitmap, i)) ++freeCount;
    }
    geometry.FreeClusters = Saturated(freeCount);
    return geometry;
  }

  std::int32_t GetVolumeBitmap(std::int64_t startingCluster, VolumeBitmapReply& reply) override {
    const std::int64_t total = map_->ClusterCount();
    // Replies begin on a whole bitmap byte.
    const std::int64_t start = startingCluster - startingCluster % 8;
    if (startingCluster < 0 || start > total || (start == total && total > 0)) return kStatusInvalidParameter;
    const std::int64_t count = std::min(total - start, kBitmapPieceClusters);
    reply.bitmap.fill(0);
    if (!map_->ReadUsage(start, count, reply.bitmap)) return kStatusDiskCorruptError;
    reply.startingCluster = start;
    reply.clustersToEnd = total - start;
    return total - start > kBitmapPieceClusters ? kStatusBufferOverflow : kStatusSuccess;
  }

 private:
  std::unique_ptr<InputStream> target_;
  std::unique_ptr<maps::AllocationMap> map_;
};

}  // namespace

std::unique_ptr<VolumeBitmap> ReadVolumeBitmap(std::unique_ptr<InputStream> target) {
  const maps::Region whole(*target, 0, target->Size());
  // A boot sector can look like a partition table and the other way round:
  // a readable file system wins, then a partition table, then a damaged
  // file system, whose requests fail.
  auto map = maps::OpenFileSystemMap(whole);
  if (!map || !map->ReadUsage(0, 0, {})) {
    if (auto disk = maps::OpenPartitionedDiskMap(whole)) map = std::move(disk);
  }
  if (!map) return nullptr;
  return std::make_unique<MapVolumeBitmap>(std::move(target), std::move(map));
}

}  // namespace frambit::platform
