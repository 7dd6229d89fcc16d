// NTFS: the bitmap is the data of the metadata file $Bitmap, MFT record 6;
// bit i describes logical cluster i, counted from the volume's first byte.
#include <algorithm>
#include <array>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform::maps {
namespace {

constexpr std::int64_t kBitmapRecord = 6;

// One extent of the bitmap's data: clusterCount clusters from firstLcn on
// the volume (-1 for a sparse extent, which reads as zeros).
struct Extent {
  std::int64_t firstVcn;
  std::int64_t clusterCount;
  std::int64_t firstLcn;
};

// Decodes a data run list: a header byte whose low nibble is the width of
// the run length and high nibble the width of the signed cluster delta.
bool DecodeRuns(std::span<const std::byte> list, std::int64_t totalClusters, std::vector<Extent>& extents) {
  std::int64_t vcn = 0;
  std::int64_t lcn = 0;
  for (std::size_t at = 0; at < list.size();) {
    const auto header = std::to_integer<unsigned>(list[at]);
    if (header == 0) return true;
    const unsigned lengthWidth = header & 0x0Fu;
    const unsigned offsetWidth = header >> 4;
    if (lengthWidth == 0 || lengthWidth > 8 || offsetWidth > 8 || list.size() - at - 1 < lengthWidth + offsetWidth)
      return false;
    const auto length = static_cast<std::int64_t>(Le(list, at + 1, static_cast<int>(lengthWidth)));
    if (length <= 0 || length > totalClusters) return false;
    Extent extent{vcn, length, -1};
    if (offsetWidth > 0) {
      std::uint64_t delta = Le(list, at + 1 + lengthWidth, static_cast<int>(offsetWidth));
      if (offsetWidth < 8 && (delta >> (offsetWidth * 8 - 1) & 1u) != 0) delta |= ~std::uint64_t{0} << (offsetWidth * 8);
      const auto signedDelta = static_cast<std::int64_t>(delta);
      if ((signedDelta > 0 && lcn > totalClusters - signedDelta) || (signedDelta < 0 && lcn < -signedDelta)) return false;
      lcn += signedDelta;
      if (length > totalClusters - lcn) return false;
      extent.firstLcn = lcn;
    }
    extents.push_back(extent);
    if (vcn > totalClusters - length) return false;
    vcn += length;
    at += 1 + lengthWidth + offsetWidth;
  }
  return false;  // no terminating zero
}

class NtfsMap final : public AllocationMap {
 public:
  NtfsMap(const Region& region, std::vector<Extent> extents, std::int64_t clusters, std::uint32_t bytesPerSector,
          std::uint32_t sectorsPerCluster)
      : region_(region),
        extents_(std::move(extents)),
        clusters_(clusters),
        bytesPerSector_(bytesPerSector),
        sectorsPerCluster_(sectorsPerCluster) {}

  ClusterGeometry Layout() const override { return {sectorsPerCluster_, bytesPerSector_, 0, 0, 0}; }
  std::int64_t ClusterCount() const override { return clusters_; }

  bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) override {
    const std::int64_t clusterBytes = std::int64_t{bytesPerSector_} * sectorsPerCluster_;
    return CopyStoredBitmap(region_, first, count, used, [&](std::int64_t byteIndex, BitmapPiece& piece) {
      const std::int64_t vcn = byteIndex / clusterBytes;
      const auto extent = std::find_if(extents_.begin(), extents_.end(), [vcn](const Extent& e) {
        return vcn >= e.firstVcn && vcn - e.firstVcn < e.clusterCount;
      });
      if (extent == extents_.end()) return false;
      const std::int64_t inExtent = byteIndex - extent->firstVcn * clusterBytes;
      piece = {extent->firstLcn < 0 ? -1 : extent->firstLcn * clusterBytes + inExtent,
               extent->clusterCount * clusterBytes - inExtent};
      return true;
    });
  }

 private:
  Region region_;
  std::vector<Extent> extents_;
  std::int64_t clusters_;
  std::uint32_t bytesPerSector_;
  std::uint32_t sectorsPerCluster_;
};

// Undoes the update sequence: the last two bytes of every 512-byte stride
// were replaced by the sequence number, whose real values follow it.
bool ApplyFixups(std::span<std::byte> record) {
  const std::size_t usaOffset = Le16(record, 4);
  const std::size_t usaCount = Le16(record, 6);
  if (usaCount == 0 || usaCount - 1 != record.size() / 512 || usaOffset > record.size() - usaCount * 2) return false;
  for (std::size_t i = 1; i < usaCount; ++i) {
    const std::size_t end = i * 512 - 2;
    if (record[end] != record[usaOffset] || record[end + 1] != record[usaOffset + 1]) return false;
    record[end] = record[usaOffset + 2 * i];
    record[end + 1] = record[usaOffset + 2 * i + 1];
  }
  return true;
}

// The extents of the unnamed $DATA attribute of a $Bitmap record.
bool BitmapExtents(std::span<const std::byte> record, std::int64_t clusters, std::vector<Extent>& extents,
                   std::int64_t& dataBytes) {
  std::size_t at = Le16(record, 20);
  while (at <= record.size() - 16) {
    const std::uint32_t type = Le32(record, at);
    const std::uint32_t length = Le32(record, at + 4);
    if (type == 0xFFFFFFFF) return false;
    if (length < 16 || length > record.size() - at) return false;
    const std::span<const std::byte> attribute = record.subspan(at, length);
    if (type == 0x80 && attribute[9] == std::byte{0}) {
      if (attribute[8] == std::byte{0} || length < 64) return false;  // a bitmap is never resident
      const std::size_t runs = Le16(attribute, 32);
      dataBytes = static_cast<std::int64_t>(std::min<std::uint64_t>(Le64(attribute, 48), INT64_MAX));
      return runs < length && DecodeRuns(attribute.subspan(runs), clusters, extents);
    }
    at += length;
  }
  return false;
}

}  // namespace

std::unique_ptr<AllocationMap> OpenNtfsMap(const Region& region) {
  std::array<std::byte, 512> boot{};
  if (!region.Read(0, boot)) return nullptr;
  if (!HasSignature(boot, 3, "NTFS    ")) return nullptr;
  const std::uint32_t bytesPerSector = Le16(boot, 11);
  const unsigned rawSectorsPerCluster = std::to_integer<unsigned>(boot[13]);
  if (bytesPerSector < 256 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0) return nullptr;
  // Above 0x80 the value is a negative power of two: 2^(256 - value).
  const std::uint32_t sectorsPerCluster =
      rawSectorsPerCluster <= 0x80 ? rawSectorsPerCluster
                                   : (256 - rawSectorsPerCluster <= 20 ? 1u << (256 - rawSectorsPerCluster) : 0u);
  if (sectorsPerCluster == 0 || (sectorsPerCluster & (sectorsPerCluster - 1)) != 0) return nullptr;
  const std::int64_t clusterBytes = std::int64_t{bytesPerSector} * sectorsPerCluster;
  const std::uint64_t totalSectors = Le64(boot, 40);
  const std::uint64_t mftLcn = Le64(boot, 48);
  const auto perRecord = static_cast<std::int8_t>(std::to_integer<std::uint8_t>(boot[64]));
  const std::int64_t recordBytes = perRecord > 0 ? perRecord * clusterBytes : perRecord >= -16 && perRecord < 0 ? std::int64_t{1} << -perRecord : 0;
  const std::int64_t clusters = static_cast<std::int64_t>(std::min<std::uint64_t>(totalSectors / sectorsPerCluster, INT64_MAX / clusterBytes));
  if (recordBytes < 512 || recordBytes > 65536 || clusters == 0 || !region.Contains(0, clusters * clusterBytes) ||
      mftLcn >= static_cast<std::uint64_t>(clusters))
    return DamagedMap(bytesPerSector, sectorsPerCluster);

  bool ok = false;
  std::vector<std::byte> record = region.ReadBytes(static_cast<std::int64_t>(mftLcn) * clusterBytes + kBitmapRecord * recordBytes,
                                                   static_cast<std::size_t>(recordBytes), ok);
  std::vector<Extent> extents;
  std::int64_t dataBytes = 0;
  if (!ok || Le32(record, 0) != 0x454C4946 /* "FILE" */ || !ApplyFixups(record) ||
      !BitmapExtents(record, clusters, extents, dataBytes) || dataBytes < (clusters + 7) / 8)
    return DamagedMap(bytesPerSector, sectorsPerCluster);
  return std::make_unique<NtfsMap>(region, std::move(extents), clusters, bytesPerSector, sectorsPerCluster);
}

}  // namespace frambit::platform::maps
