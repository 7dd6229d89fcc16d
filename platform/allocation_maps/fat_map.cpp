// FAT12, FAT16 and FAT32: a cluster is free when its table entry is 0.
//
//   [reserved sectors][FAT 1][FAT 2 ...][root directory (12/16)][cluster 2 ...]
//                                                               ^ bitmap cluster 0
#include <algorithm>
#include <array>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform::maps {
namespace {

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

class FatMap final : public AllocationMap {
 public:
  FatMap(const Region& region, int entryBits, std::int64_t fatOffset, std::int64_t dataOffset, std::int64_t clusters,
         std::uint32_t bytesPerSector, std::uint32_t sectorsPerCluster)
      : region_(region),
        entryBits_(entryBits),
        fatOffset_(fatOffset),
        dataOffset_(dataOffset),
        clusters_(clusters),
        bytesPerSector_(bytesPerSector),
        sectorsPerCluster_(sectorsPerCluster) {}

  ClusterGeometry Layout() const override { return {sectorsPerCluster_, bytesPerSector_, 0, 0, dataOffset_}; }
  std::int64_t ClusterCount() const override { return clusters_; }

  bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) override {
    if (count == 0) return true;
    // Entries of FAT clusters first + 2 .. first + count + 1.
    const std::int64_t firstEntry = first + 2;
    const std::int64_t fromByte = firstEntry * entryBits_ / 8;
    const std::int64_t toByte = ((firstEntry + count) * entryBits_ + 7) / 8 + 1;
    bool ok = false;
    const std::vector<std::byte> table = region_.ReadBytes(fatOffset_ + fromByte, static_cast<std::size_t>(toByte - fromByte), ok);
    if (!ok) return false;
    const std::uint32_t lastValid = static_cast<std::uint32_t>(clusters_ + 1);
    const std::uint32_t firstReserved = entryBits_ == 12 ? 0xFF7 : entryBits_ == 16 ? 0xFFF7 : 0x0FFFFFF7;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint32_t entry = Entry(table, firstEntry + i, fromByte);
      if (entry == 0) continue;
      // A chain that leads past the last cluster: the table is damaged.
      if (entry == 1 || (entry > lastValid && entry < firstReserved)) return false;
      MarkUsed(used, i);
    }
    return true;
  }

 private:
  std::uint32_t Entry(std::span<const std::byte> table, std::int64_t cluster, std::int64_t fromByte) const {
    const auto at = static_cast<std::size_t>(cluster * entryBits_ / 8 - fromByte);
    switch (entryBits_) {
      case 12: {
        const std::uint16_t pair = Le16(table, at);
        return cluster % 2 == 0 ? pair & 0x0FFFu : static_cast<std::uint32_t>(pair >> 4);
      }
      case 16: return Le16(table, at);
      default: return Le32(table, at) & 0x0FFFFFFFu;
    }
  }

  Region region_;
  int entryBits_;
  std::int64_t fatOffset_;
  std::int64_t dataOffset_;
  std::int64_t clusters_;
  std::uint32_t bytesPerSector_;
  std::uint32_t sectorsPerCluster_;
};

}  // namespace

std::unique_ptr<AllocationMap> OpenFatMap(const Region& region) {
  std::array<std::byte, 512> boot{};
  if (!region.Read(0, boot)) return nullptr;
  const auto jump = std::to_integer<std::uint8_t>(boot[0]);
  const std::uint32_t bytesPerSector = Le16(boot, 11);
  const std::uint32_t sectorsPerCluster = std::to_integer<std::uint32_t>(boot[13]);
  const std::uint32_t reservedSectors = Le16(boot, 14);
  const std::uint32_t fatCount = std::to_integer<std::uint32_t>(boot[16]);
  const std::uint32_t rootEntries = Le16(boot, 17);
  const std::uint32_t totalSectors = Le16(boot, 19) != 0 ? Le16(boot, 19) : Le32(boot, 32);
  const std::uint32_t sectorsPerFat = Le16(boot, 22) != 0 ? Le16(boot, 22) : Le32(boot, 36);
  const auto media = std::to_integer<std::uint8_t>(boot[21]);
  if ((jump != 0xEB && jump != 0xE9) || boot[510] != std::byte{0x55} || boot[511] != std::byte{0xAA}) return nullptr;
  if (bytesPerSector < 512 || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector) || !IsPowerOfTwo(sectorsPerCluster) ||
      reservedSectors == 0 || fatCount == 0 || fatCount > 4 || (media < 0xF8 && media != 0xF0) || totalSectors == 0 ||
      sectorsPerFat == 0)
    return nullptr;

  const std::int64_t rootSectors = (std::int64_t{rootEntries} * 32 + bytesPerSector - 1) / bytesPerSector;
  const std::int64_t firstDataSector = reservedSectors + std::int64_t{fatCount} * sectorsPerFat + rootSectors;
  if (firstDataSector >= totalSectors) return DamagedMap(bytesPerSector, sectorsPerCluster);
  const std::int64_t clusters = (totalSectors - firstDataSector) / sectorsPerCluster;
  // The type follows from the cluster count alone.
  const int entryBits = clusters < 4085 ? 12 : clusters < 65525 ? 16 : 32;
  const std::int64_t tableBytes = ((clusters + 2) * entryBits + 7) / 8;
  const std::int64_t sectorBytes = bytesPerSector;
  const std::int64_t volumeBytes = std::int64_t{totalSectors} * sectorBytes;
  // The table must hold every cluster, and the volume must lie on the target
  // (a truncated image cannot be trusted for what lies beyond its end).
  if (tableBytes > std::int64_t{sectorsPerFat} * sectorBytes || !region.Contains(0, volumeBytes))
    return DamagedMap(bytesPerSector, sectorsPerCluster);
  return std::make_unique<FatMap>(region, entryBits, reservedSectors * sectorBytes, firstDataSector * sectorBytes, clusters,
                                  bytesPerSector, sectorsPerCluster);
}

}  // namespace frambit::platform::maps
