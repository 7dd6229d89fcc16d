#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace frambit::platform {

// A volume is a block device that carries a file system, mounted or not.
// It is named by its device node (/dev/sdb1), which stands where a drive
// letter would.

struct VolumeLabels {
  std::string label;           // empty when the file system has none
  std::string serialNumber;    // from the file system's UUID; empty when none
  std::string fileSystemName;  // as the system names it: "ext4", "vfat", ...
};

// What a mounted volume offers the calling user, in bytes.
struct VolumeSpace {
  std::int64_t totalBytes = 0;
  std::int64_t freeBytes = 0;
};

enum class DriveType { Unknown, Removable, Fixed, Remote, CdRom, RamDisk };

// Where a volume lies on a whole disk. DiskNumber 255 with offset and length
// 0 means that no extent is known.
struct DiskExtent {
  std::uint32_t DiskNumber = 255;
  std::int64_t StartingOffset = 0;
  std::int64_t ExtentLength = 0;
};

// The questions the recovery sources ask about volumes. None of them throws
// for an absent, empty or unreadable device; none opens anything for writing.
class VolumeQueries {
 public:
  virtual ~VolumeQueries() = default;

  // Every block device carrying a file system, in the order of the device
  // names, each disk followed by its partitions.
  virtual std::vector<std::string> VolumeDevices() = 0;
  // nullopt when no file system can be recognised on the device.
  virtual std::optional<VolumeLabels> ReadLabels(const std::string& device) = 0;
  // nullopt when the volume is not mounted.
  virtual std::optional<VolumeSpace> ReadSpace(const std::string& device) = 0;
  virtual DriveType TypeOf(const std::string& device) = 0;
  // Opens the device read-only and tells where it lies: nullopt when it
  // cannot be opened (no rights), an empty list when it lies on no disk
  // that has a number.
  virtual std::optional<std::vector<DiskExtent>> ReadExtents(const std::string& device) = 0;
  // The device node of the first optical drive, by name; empty when none.
  virtual std::string FirstCdRom() = 0;
  virtual bool IsBlockDevice(const std::string& path) = 0;
};

// The system's volumes. Lives as long as the program.
VolumeQueries& SystemVolumes();

}  // namespace frambit::platform
