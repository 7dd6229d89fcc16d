// A whole disk or disk image with an MBR or GPT partition table. The map
// counts 512-byte sectors from the disk's first byte: a sector is in use when
// it belongs to a partition whose file system uses it, or holds that file
// system's own structures. Sectors outside every partition are free, and so
// is a partition whose file system is not known, so that both are scanned.
#include <algorithm>
#include <array>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform::maps {
namespace {

constexpr std::int64_t kSectorBytes = 512;
constexpr int kMaxPartitions = 256;  // more than any real table, fewer than a looping one gives

struct Partition {
  std::int64_t firstSector = 0;
  std::int64_t sectorCount = 0;
  std::unique_ptr<AllocationMap> map;  // null: scanned whole
};

bool IsExtended(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// Adds [first, first + count) when it lies on the disk; false otherwise.
bool AddPartition(std::vector<Partition>& partitions, std::int64_t diskSectors, std::uint64_t first, std::uint64_t count) {
  if (count == 0 || first == 0 || first >= static_cast<std::uint64_t>(diskSectors) ||
      count > static_cast<std::uint64_t>(diskSectors) - first || partitions.size() >= kMaxPartitions)
    return false;
  partitions.push_back({static_cast<std::int64_t>(first), static_cast<std::int64_t>(count), nullptr});
  return true;
}

bool ReadGpt(const Region& disk, std::int64_t diskSectors, std::vector<Partition>& partitions) {
  std::array<std::byte, 512> header{};
  if (!disk.Read(kSectorBytes, header)) return false;
  if (!HasSignature(header, 0, "EFI PART")) return false;
  const std::uint64_t entriesLba = Le64(header, 72);
  const std::uint32_t entryCount = Le32(header, 80);
  const std::uint32_t entryBytes = Le32(header, 84);
  if (entryBytes < 128 || entryBytes > 4096 || entriesLba >= static_cast<std::uint64_t>(diskSectors)) return false;
  std::array<std::byte, 128> entry{};
  for (std::uint32_t i = 0; i < entryCount && i < kMaxPartitions; ++i) {
    if (!disk.Read(static_cast<std::int64_t>(entriesLba) * kSectorBytes + std::int64_t{i} * entryBytes, entry)) return false;
    if (std::all_of(entry.begin(), entry.begin() + 16, [](std::byte b) { return b == std::byte{0}; })) continue;
    const std::uint64_t first = Le64(entry, 32);
    const std::uint64_t last = Le64(entry, 40);
    if (last < first || !AddPartition(partitions, diskSectors, first, last - first + 1)) return false;
  }
  return true;
}

bool ReadMbr(const Region& disk, std::int64_t diskSectors, std::vector<Partition>& partitions) {
  std::array<std::byte, 512> sector{};
  if (!disk.Read(0, sector) || sector[510] != std::byte{0x55} || sector[511] != std::byte{0xAA}) return false;
  for (int i = 0; i < 4; ++i) {
    const std::span<const std::byte> entry = std::span<const std::byte>(sector).subspan(446 + 16 * static_cast<std::size_t>(i), 16);
    const auto status = std::to_integer<std::uint8_t>(entry[0]);
    if (status != 0x00 && status != 0x80) return false;
  }
  for (int i = 0; i < 4; ++i) {
    const std::span<const std::byte> entry = std::span<const std::byte>(sector).subspan(446 + 16 * static_cast<std::size_t>(i), 16);
    const auto type = std::to_integer<std::uint8_t>(entry[4]);
    if (type == 0) continue;
    if (type == 0xEE) return ReadGpt(disk, diskSectors, partitions);
    const std::uint32_t first = Le32(entry, 8);
    const std::uint32_t count = Le32(entry, 12);
    if (!IsExtended(type)) {
      if (!AddPartition(partitions, diskSectors, first, count)) return false;
      continue;
    }
    // The logical partitions: a chain of boot records, each naming one
    // partition (relative to itself) and the next record (relative to the
    // extended partition). The chain may only move forward.
    std::int64_t record = first;
    for (int step = 0; step < kMaxPartitions; ++step) {
      std::array<std::byte, 512> ebr{};
      if (record >= diskSectors || !disk.Read(record * kSectorBytes, ebr) || ebr[510] != std::byte{0x55} ||
          ebr[511] != std::byte{0xAA})
        return false;
      if (ebr[446 + 4] != std::byte{0} &&
          !AddPartition(partitions, diskSectors, static_cast<std::uint64_t>(record) + Le32(ebr, 446 + 8), Le32(ebr, 446 + 12)))
        return false;
      const std::uint32_t next = Le32(ebr, 462 + 8);
      if (ebr[462 + 4] == std::byte{0} || next == 0) break;
      if (std::int64_t{first} + next <= record) return false;
      record = std::int64_t{first} + next;
    }
  }
  return !partitions.empty();
}

class PartitionedDiskMap final : public AllocationMap {
 public:
  PartitionedDiskMap(std::int64_t diskSectors, std::vector<Partition> partitions)
      : diskSectors_(diskSectors), partitions_(std::move(partitions)) {}

  ClusterGeometry Layout() const override { return {1, kSectorBytes, 0, 0, 0}; }
  std::int64_t ClusterCount() const override { return diskSectors_; }

  bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) override {
    for (Partition& partition : partitions_) {
      const std::int64_t from = std::max(first, partition.firstSector);
      const std::int64_t to = std::min(first + count, partition.firstSector + partition.sectorCount);
      if (from >= to || !partition.map) continue;
      if (!MarkPartition(partition, from, to, first, used)) return false;
    }
    return true;
  }

 private:
  // Marks the sectors [from, to) of one partition from its file system's map.
  static bool MarkPartition(Partition& partition, std::int64_t from, std::int64_t to, std::int64_t first,
                            std::span<std::uint8_t> used) {
    const ClusterGeometry layout = partition.map->Layout();
    const std::int64_t clusterBytes = layout.ClusterBytes();
    const std::int64_t clusters = partition.map->ClusterCount();
    std::array<std::uint8_t, kBitmapPieceClusters / 8> piece{};
    std::int64_t pieceFirst = -1;
    for (std::int64_t sector = from; sector < to; ++sector) {
      const std::int64_t at = (sector - partition.firstSector) * kSectorBytes - layout.clusterZeroOffsetBytes;
      const std::int64_t cluster = at < 0 ? -1 : at / clusterBytes;
      // The file system's own structures, and the slack behind its last cluster.
      if (cluster < 0 || cluster >= clusters) {
        MarkUsed(used, sector - first);
        continue;
      }
      if (pieceFirst < 0 || cluster - pieceFirst >= kBitmapPieceClusters) {
        pieceFirst = cluster;
        piece.fill(0);
        if (!partition.map->ReadUsage(pieceFirst, std::min(kBitmapPieceClusters, clusters - pieceFirst), piece)) return false;
      }
      if (IsMarked(piece, cluster - pieceFirst)) MarkUsed(used, sector - first);
    }
    return true;
  }

  std::int64_t diskSectors_;
  std::vector<Partition> partitions_;
};

}  // namespace

std::unique_ptr<AllocationMap> OpenPartitionedDiskMap(const Region& region) {
  const std::int64_t diskSectors = region.Length() / kSectorBytes;
  std::vector<Partition> partitions;
  if (!ReadMbr(region, diskSectors, partitions)) return nullptr;
  std::sort(partitions.begin(), partitions.end(),
            [](const Partition& a, const Partition& b) { return a.firstSector < b.firstSector; });
  for (std::size_t i = 1; i < partitions.size(); ++i)
    if (partitions[i].firstSector < partitions[i - 1].firstSector + partitions[i - 1].sectorCount) return nullptr;
  for (Partition& partition : partitions) {
    partition.map = OpenFileSystemMap(region.Sub(partition.firstSector * kSectorBytes, partition.sectorCount * kSectorBytes));
    // A damaged file system in one partition is scanned whole rather than
    // keeping the others from being read.
    if (partition.map && !partition.map->ReadUsage(0, 0, {})) partition.map.reset();
  }
  return std::make_unique<PartitionedDiskMap>(diskSectors, std::move(partitions));
}

}  // namespace frambit::platform::maps
