#include "platform/allocation_maps/allocation_map.h"

#include <algorithm>

namespace frambit::platform::maps {

bool Region::Read(std::int64_t at, std::span<std::byte> out) const {
  if (!Contains(at, static_cast<std::int64_t>(out.size()))) return false;
  const ReadOutcome outcome = stream_->ReadAt(offset_ + at, out);
  return outcome.bytesRead == out.size();
}

std::vector<std::byte> Region::ReadBytes(std::int64_t at, std::size_t bytes, bool& ok) const {
  std::vector<std::byte> out;
  ok = Contains(at, static_cast<std::int64_t>(bytes));
  if (!ok) return out;
  out.resize(bytes);
  ok = Read(at, out);
  return out;
}

bool CopyStoredBitmap(const Region& region, std::int64_t first, std::int64_t count, std::span<std::uint8_t> used,
                      const BitmapLocator& locate) {
  for (std::int64_t i = 0; i < count;) {
    const std::int64_t byteIndex = (first + i) / 8;
    BitmapPiece piece;
    if (!locate(byteIndex, piece) || piece.bytes <= 0) return false;
    const std::int64_t bytes = std::min(piece.bytes, (first + count + 7) / 8 - byteIndex);
    const std::int64_t end = std::min(count, (byteIndex + bytes) * 8 - first);
    if (piece.offsetBytes < 0) {
      i = end;
      continue;
    }
    bool ok = false;
    const std::vector<std::byte> stored = region.ReadBytes(piece.offsetBytes, static_cast<std::size_t>(bytes), ok);
    if (!ok) return false;
    for (; i < end; ++i) {
      const std::int64_t bit = first + i - byteIndex * 8;
      if ((std::to_integer<unsigned>(stored[static_cast<std::size_t>(bit / 8)]) >> (bit % 8) & 1u) != 0) MarkUsed(used, i);
    }
  }
  return true;
}

namespace {

class Damaged final : public AllocationMap {
 public:
  Damaged(std::uint32_t bytesPerSector, std::uint32_t sectorsPerCluster)
      : bytesPerSector_(bytesPerSector), sectorsPerCluster_(sectorsPerCluster) {}
  ClusterGeometry Layout() const override { return {sectorsPerCluster_, bytesPerSector_, 0, 0, 0}; }
  std::int64_t ClusterCount() const override { return 0; }
  bool ReadUsage(std::int64_t, std::int64_t, std::span<std::uint8_t>) override { return false; }

 private:
  std::uint32_t bytesPerSector_;
  std::uint32_t sectorsPerCluster_;
};

}  // namespace

std::unique_ptr<AllocationMap> DamagedMap(std::uint32_t bytesPerSector, std::uint32_t sectorsPerCluster) {
  return std::make_unique<Damaged>(bytesPerSector, sectorsPerCluster);
}

std::unique_ptr<AllocationMap> OpenFileSystemMap(const Region& region) {
  for (auto open : {OpenNtfsMap, OpenExfatMap, OpenFatMap, OpenExtMap}) {
    if (auto map = open(region)) return map;
  }
  return nullptr;
}

}  // namespace frambit::platform::maps
