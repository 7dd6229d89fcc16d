#include "sources/volume_info.h"

#include <utility>

namespace frambit {
namespace {

// The extent query answers into a 260-byte buffer: an 8-byte count and
// 24 bytes an extent, so a volume of more than 10 extents gets none.
constexpr std::size_t kMaxExtents = (260 - 8) / 24;

}  // namespace

TNTVolumeInfo::TNTVolumeInfo(std::string drive, platform::VolumeQueries& queries) : Drive(std::move(drive)) {
  ReadVolumeInformation(queries);
  ReadDriveKindAndExtent(queries);
}

void TNTVolumeInfo::ReadVolumeInformation(platform::VolumeQueries& queries) {
  if (const auto labels = queries.ReadLabels(Drive)) {
    VolumeLabel = labels->label;
    SerialNumber = labels->serialNumber;
    FileSystemName = labels->fileSystemName;
  }
  if (const auto space = queries.ReadSpace(Drive)) {
    TotalBytes = space->totalBytes;
    FreeBytes = space->freeBytes;
  }
}

void TNTVolumeInfo::ReadDriveKindAndExtent(platform::VolumeQueries& queries) {
  using platform::DriveType;
  const DriveType type = queries.TypeOf(Drive);
  switch (type) {
    case DriveType::Removable: DriveKind = "RD"; break;
    case DriveType::Fixed: DriveKind = "HD"; break;
    case DriveType::Remote: DriveKind = "ND"; break;
    case DriveType::CdRom: DriveKind = "CD"; break;
    case DriveType::RamDisk: DriveKind = "RD"; break;
    case DriveType::Unknown: break;
  }
  // Network, optical and RAM drives lie on no disk of their own.
  if (type != DriveType::Removable && type != DriveType::Fixed) return;
  const auto extents = queries.ReadExtents(Drive);
  if (extents && !extents->empty() && extents->size() <= kMaxExtents) DiskExtent = extents->front();
}

}  // namespace frambit
