#pragma once

#include <cstdint>
#include <string>

#include "platform/volumes.h"

namespace frambit {

// Everything the target menu shows or needs about one volume, gathered once
// at construction and never refreshed. A query that fails leaves its fields
// empty or 0 and DiskNumber 255; construction itself never fails.
class TNTVolumeInfo {
 public:
  // drive: the volume's device node, e.g. /dev/sdb1.
  TNTVolumeInfo(std::string drive, platform::VolumeQueries& queries);

  std::string Drive;
  std::string VolumeLabel;
  std::string SerialNumber;
  std::string FileSystemName;
  // What a mounted volume offers the user; 0 for a volume that is not mounted.
  std::int64_t TotalBytes = 0;
  std::int64_t FreeBytes = 0;
  // "RD", "HD", "ND", "CD" or empty.
  std::string DriveKind;
  // The first extent of the volume on a whole disk.
  platform::DiskExtent DiskExtent;

 private:
  void ReadVolumeInformation(platform::VolumeQueries& queries);
  void ReadDriveKindAndExtent(platform::VolumeQueries& queries);
};

}  // namespace frambit
