// ext2, ext3, ext4: one block bitmap per block group; bitmap cluster b is
// block b, counted from the volume's first byte.
//
//   block:  0 .. firstDataBlock-1 | group 0 | group 1 | ...
//   group g starts at block firstDataBlock + g * blocksPerGroup
#include <algorithm>
#include <array>

#include "platform/allocation_maps/allocation_map.h"

namespace frambit::platform::maps {
namespace {

constexpr std::uint32_t kIncompatMetaBg = 0x10;
constexpr std::uint32_t kIncompat64Bit = 0x80;
constexpr std::uint32_t kRoCompatSparseSuper = 0x1;
constexpr std::uint32_t kRoCompatGdtCsum = 0x10;
constexpr std::uint32_t kRoCompatBigalloc = 0x200;
constexpr std::uint32_t kRoCompatMetadataCsum = 0x400;
constexpr std::uint16_t kBlockUninit = 0x2;

bool IsPowerOf(std::int64_t value, std::int64_t base) {
  while (value > 1 && value % base == 0) value /= base;
  return value == 1;
}

struct Group {
  std::int64_t blockBitmap = 0;
  std::int64_t inodeBitmap = 0;
  std::int64_t inodeTable = 0;
  bool uninitialised = false;
};

class ExtMap final : public AllocationMap {
 public:
  struct Shape {
    std::int64_t blocks = 0;
    std::int64_t blockBytes = 0;
    std::int64_t firstDataBlock = 0;
    std::int64_t blocksPerGroup = 0;
    std::int64_t inodeTableBlocks = 0;
    std::int64_t descriptorBlocks = 0;  // the group descriptor table plus its reserved growth
    std::int64_t descriptorBytes = 0;
    std::int64_t tableOffsetBytes = 0;
    bool sparseSuper = false;
    // With meta_bg, the descriptors of the groups from firstMetaBg *
    // descriptors per block on lie in the first, second and last group of
    // each run of that many groups, one block each.
    bool metaBg = false;
    std::int64_t firstMetaBg = 0;
    bool checksummed = false;  // only then may a group's bitmap be left unwritten
  };

  ExtMap(const Region& region, Shape shape) : region_(region), shape_(shape) {}

  // The descriptor of group g; false when it cannot be read or names a
  // bitmap outside the volume.
  bool ReadGroup(std::int64_t g, Group& group) const {
    bool ok = false;
    const std::vector<std::byte> d =
        region_.ReadBytes(DescriptorOffset(g), static_cast<std::size_t>(shape_.descriptorBytes), ok);
    if (!ok) return false;
    const auto wide = [&](std::size_t lo, std::size_t hi) {
      std::uint64_t value = Le32(d, lo);
      if (shape_.descriptorBytes >= 64) value |= std::uint64_t{Le32(d, hi)} << 32;
      return static_cast<std::int64_t>(value);
    };
    group = {wide(0, 0x20), wide(4, 0x24), wide(8, 0x28), shape_.checksummed && (Le16(d, 18) & kBlockUninit) != 0};
    return group.uninitialised || (group.blockBitmap >= shape_.firstDataBlock && group.blockBitmap < shape_.blocks);
  }

  ClusterGeometry Layout() const override {
    return {static_cast<std::uint32_t>(shape_.blockBytes / 512), 512, 0, 0, 0};
  }
  std::int64_t ClusterCount() const override { return shape_.blocks; }

  bool ReadUsage(std::int64_t first, std::int64_t count, std::span<std::uint8_t> used) override {
    std::vector<std::byte> bitmap;
    Group g;
    std::int64_t loadedGroup = -1;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t block = first + i;
      if (block < shape_.firstDataBlock) {
        MarkUsed(used, i);
        continue;
      }
      const std::int64_t group = (block - shape_.firstDataBlock) / shape_.blocksPerGroup;
      const std::int64_t index = (block - shape_.firstDataBlock) % shape_.blocksPerGroup;
      if (group != loadedGroup) {
        if (!ReadGroup(group, g)) return false;
        bool ok = true;
        if (!g.uninitialised)
          bitmap = region_.ReadBytes(g.blockBitmap * shape_.blockBytes, static_cast<std::size_t>(shape_.blockBytes), ok);
        if (!ok) return false;
        loadedGroup = group;
      }
      if (g.uninitialised) {
        if (InUninitialisedGroup(group, g, block)) MarkUsed(used, i);
        continue;
      }
      if ((std::to_integer<unsigned>(bitmap[static_cast<std::size_t>(index / 8)]) >> (index % 8) & 1u) != 0) MarkUsed(used, i);
    }
    return true;
  }

 private:
  std::int64_t DescriptorsPerBlock() const { return shape_.blockBytes / shape_.descriptorBytes; }
  bool InMetaGroup(std::int64_t group) const { return shape_.metaBg && group / DescriptorsPerBlock() >= shape_.firstMetaBg; }
  std::int64_t GroupStart(std::int64_t group) const { return shape_.firstDataBlock + group * shape_.blocksPerGroup; }
  // Whether the group holds a copy of the superblock.
  bool HasSuper(std::int64_t group) const {
    return !shape_.sparseSuper || group <= 1 || IsPowerOf(group, 3) || IsPowerOf(group, 5) || IsPowerOf(group, 7);
  }

  std::int64_t DescriptorOffset(std::int64_t group) const {
    if (!InMetaGroup(group)) return shape_.tableOffsetBytes + group * shape_.descriptorBytes;
    const std::int64_t first = group - group % DescriptorsPerBlock();
    const std::int64_t block = GroupStart(first) + (HasSuper(first) ? 1 : 0);
    return block * shape_.blockBytes + group % DescriptorsPerBlock() * shape_.descriptorBytes;
  }

  // A group whose bitmap was never written: only its copy of the superblock
  // and descriptors and its own bitmaps and inode table are in use.
  bool InUninitialisedGroup(std::int64_t group, const Group& g, std::int64_t block) const {
    const std::int64_t start = GroupStart(group);
    const bool hasSuper = HasSuper(group);
    if (hasSuper && block == start) return true;
    if (!InMetaGroup(group)) {
      const std::int64_t oldBlocks = shape_.metaBg ? shape_.firstMetaBg : shape_.descriptorBlocks;
      if (hasSuper && block > start && block - start <= oldBlocks) return true;
    } else {
      const std::int64_t inMeta = group % DescriptorsPerBlock();
      if ((inMeta == 0 || inMeta == 1 || inMeta == DescriptorsPerBlock() - 1) && block == start + (hasSuper ? 1 : 0))
        return true;
    }
    if (block == g.blockBitmap || block == g.inodeBitmap) return true;
    return block >= g.inodeTable && block - g.inodeTable < shape_.inodeTableBlocks;
  }

  Region region_;
  Shape shape_;
};

}  // namespace

std::unique_ptr<AllocationMap> OpenExtMap(const Region& region) {
  std::array<std::byte, 1024> super{};
  if (!region.Read(1024, super) || Le16(super, 56) != 0xEF53) return nullptr;
  const std::uint32_t logBlockSize = Le32(super, 24);
  if (logBlockSize > 6) return nullptr;
  const std::uint32_t incompat = Le32(super, 96);
  const std::uint32_t roCompat = Le32(super, 100);
  const auto blockBytes = std::int64_t{1024} << logBlockSize;
  const auto sectorsPerBlock = static_cast<std::uint32_t>(blockBytes / 512);
  // Clusters of several blocks are not read; such a volume is scanned whole.
  if ((roCompat & kRoCompatBigalloc) != 0) return nullptr;

  ExtMap::Shape shape;
  shape.blockBytes = blockBytes;
  std::uint64_t blocks = Le32(super, 4);
  if ((incompat & kIncompat64Bit) != 0) blocks |= std::uint64_t{Le32(super, 336)} << 32;
  // A volume longer than the region is damaged (a truncated image).
  if (blocks > static_cast<std::uint64_t>(region.Length() / blockBytes)) return DamagedMap(512, sectorsPerBlock);
  shape.blocks = static_cast<std::int64_t>(blocks);
  shape.firstDataBlock = Le32(super, 20);
  shape.blocksPerGroup = Le32(super, 32);
  const std::int64_t inodesPerGroup = Le32(super, 40);
  const std::int64_t inodeBytes = Le32(super, 76) == 0 ? 128 : Le16(super, 88);  // revision 0 has fixed inodes
  shape.descriptorBytes = (incompat & kIncompat64Bit) != 0 ? Le16(super, 254) : 32;
  shape.sparseSuper = (roCompat & kRoCompatSparseSuper) != 0;
  shape.metaBg = (incompat & kIncompatMetaBg) != 0;
  shape.firstMetaBg = Le32(super, 0x104);
  shape.checksummed = (roCompat & (kRoCompatGdtCsum | kRoCompatMetadataCsum)) != 0;
  // The descriptor table follows the superblock's block.
  shape.tableOffsetBytes = (shape.firstDataBlock + 1) * blockBytes;
  if (shape.blocksPerGroup < 8 || shape.blocksPerGroup > blockBytes * 8 || shape.firstDataBlock >= shape.blocks ||
      shape.descriptorBytes < 32 || shape.descriptorBytes > blockBytes || inodeBytes < 128 || inodeBytes > blockBytes ||
      !region.Contains(0, shape.blocks * blockBytes))
    return DamagedMap(512, sectorsPerBlock);
  const std::int64_t groupCount = (shape.blocks - shape.firstDataBlock + shape.blocksPerGroup - 1) / shape.blocksPerGroup;
  shape.inodeTableBlocks = (inodesPerGroup * inodeBytes + blockBytes - 1) / blockBytes;
  shape.descriptorBlocks = (groupCount * shape.descriptorBytes + blockBytes - 1) / blockBytes + Le16(super, 206);
  const std::int64_t firstMetaGroup =
      shape.metaBg ? std::min(groupCount, shape.firstMetaBg * (blockBytes / shape.descriptorBytes)) : groupCount;
  if (!region.Contains(shape.tableOffsetBytes, firstMetaGroup * shape.descriptorBytes)) return DamagedMap(512, sectorsPerBlock);
  auto map = std::make_unique<ExtMap>(region, shape);
  Group first;
  if (!map->ReadGroup(0, first)) return DamagedMap(512, sectorsPerBlock);
  return map;
}

}  // namespace frambit::platform::maps
