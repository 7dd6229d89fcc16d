// exFAT: the allocation bitmap is a file named by an entry of the root
// directory; bit i describes cluster i + 2, the first of the cluster heap.
#include <algorithm>
#include <array>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform::maps {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFF;

struct HeapLayout {
  std::int64_t fatOffset = 0;
  std::int64_t heapOffset = 0;
  std::int64_t clusterBytes = 0;
  std::uint32_t clusters = 0;
};

// The cluster after `cluster` in its chain, or kEndOfChain; false when the
// chain leaves the heap or the table cannot be read.
bool NextCluster(const Region& region, const HeapLayout& layout, std::uint32_t cluster, std::uint32_t& next) {
  std::array<std::byte, 4> entry{};
  if (!region.Read(layout.fatOffset + std::int64_t{cluster} * 4, entry)) return false;
  next = Le32(entry, 0);
  return next == kEndOfChain || (next >= 2 && next - 2 < layout.clusters);
}

// The clusters of the chain from `first`, at most `limit` of them.
bool ChainOf(const Region& region, const HeapLayout& layout, std::uint32_t first, std::int64_t limit,
             std::vector<std::uint32_t>& chain) {
  std::uint32_t cluster = first;
  while (static_cast<std::int64_t>(chain.size()) < limit) {
    if (cluster < 2 || cluster - 2 >= layout.clusters) return false;
    chain.push_back(cluster);
    std::uint32_t next = 0;
    if (!NextCluster(region, layout, cluster, next)) return false;
    if (next == kEndOfChain) break;
    cluster = next;
  }
  return true;
}

class ExfatMap final : public AllocationMap {
 public:
  ExfatMap(const Region& region, HeapLayout layout, std::vector<std::uint32_t> bitmapChain, std::uint32_t bytesPerSector)
      : region_(region), layout_(layout), bitmapChain_(std::move(bitmapChain)), bytesPerSector_(bytesPerSector) {}

  ClusterGeometry Layout() const override {
    return {static_cast<std::uint32_t>(layout_.clusterBytes / bytesPerSector_), bytesPerSector_, 0, 0, layout_.heapOffset};
  }
  std::int64_t ClusterCount() const override { return layout_.clusters; }

  bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) override {
    return CopyStoredBitmap(region_, first, count, used, [this](std::int64_t byteIndex, BitmapPiece& piece) {
      const auto chainIndex = static_cast<std::size_t>(byteIndex / layout_.clusterBytes);
      if (chainIndex >= bitmapChain_.size()) return false;
      const std::int64_t inCluster = byteIndex % layout_.clusterBytes;
      piece = {layout_.heapOffset + std::int64_t{bitmapChain_[chainIndex] - 2} * layout_.clusterBytes + inCluster,
               layout_.clusterBytes - inCluster};
      return true;
    });
  }

 private:
  Region region_;
  HeapLayout layout_;
  std::vector<std::uint32_t> bitmapChain_;
  std::uint32_t bytesPerSector_;
};

}  // namespace

std::unique_ptr<AllocationMap> OpenExfatMap(const Region& region) {
  std::array<std::byte, 512> boot{};
  if (!region.Read(0, boot)) return nullptr;
  if (!HasSignature(boot, 3, "EXFAT   ")) return nullptr;
  const unsigned sectorShift = std::to_integer<unsigned>(boot[108]);
  const unsigned clusterShift = std::to_integer<unsigned>(boot[109]);
  if (sectorShift < 9 || sectorShift > 12 || clusterShift > 25 - sectorShift) return nullptr;
  const std::uint32_t bytesPerSector = 1u << sectorShift;
  const std::uint32_t sectorsPerCluster = 1u << clusterShift;
  HeapLayout layout;
  layout.fatOffset = std::int64_t{Le32(boot, 80)} << sectorShift;
  layout.heapOffset = std::int64_t{Le32(boot, 88)} << sectorShift;
  layout.clusterBytes = std::int64_t{1} << (sectorShift + clusterShift);
  layout.clusters = Le32(boot, 92);
  const std::uint32_t rootCluster = Le32(boot, 96);
  const std::int64_t fatBytes = std::int64_t{Le32(boot, 84)} << sectorShift;
  if (layout.clusters > 0xFFFFFFF5u || fatBytes < (std::int64_t{layout.clusters} + 2) * 4 ||
      !region.Contains(layout.fatOffset, fatBytes) ||
      !region.Contains(layout.heapOffset, std::int64_t{layout.clusters} * layout.clusterBytes))
    return DamagedMap(bytesPerSector, sectorsPerCluster);

  // The root directory holds the bitmap's entry (type 0x81). The walk takes
  // at most as many clusters as the heap has, so a table that loops ends it.
  const std::int64_t needBytes = (std::int64_t{layout.clusters} + 7) / 8;
  const std::int64_t needClusters = (needBytes + layout.clusterBytes - 1) / layout.clusterBytes;
  std::uint32_t dirCluster = rootCluster;
  for (std::int64_t walked = 0; walked < layout.clusters; ++walked) {
    if (dirCluster < 2 || dirCluster - 2 >= layout.clusters) break;
    const std::int64_t clusterAt = layout.heapOffset + std::int64_t{dirCluster - 2} * layout.clusterBytes;
    for (std::int64_t at = 0; at < layout.clusterBytes; at += 32) {
      std::array<std::byte, 32> entry{};
      if (!region.Read(clusterAt + at, entry)) return DamagedMap(bytesPerSector, sectorsPerCluster);
      const auto type = std::to_integer<std::uint8_t>(entry[0]);
      if (type == 0x00) return DamagedMap(bytesPerSector, sectorsPerCluster);  // end of directory, no bitmap
      if (type != 0x81) continue;
      std::vector<std::uint32_t> bitmapChain;
      if (Le64(entry, 24) < static_cast<std::uint64_t>(needBytes) ||
          !ChainOf(region, layout, Le32(entry, 20), needClusters, bitmapChain) ||
          static_cast<std::int64_t>(bitmapChain.size()) < needClusters)
        return DamagedMap(bytesPerSector, sectorsPerCluster);
      return std::make_unique<ExfatMap>(region, layout, std::move(bitmapChain), bytesPerSector);
    }
    std::uint32_t next = 0;
    if (!NextCluster(region, layout, dirCluster, next) || next == kEndOfChain) break;
    dirCluster = next;
  }
  return DamagedMap(bytesPerSector, sectorsPerCluster);
}

}  // namespace frambit::platform::maps
