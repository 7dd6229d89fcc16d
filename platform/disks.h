#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frambit::platform {

// Media type codes, numbered as the disk-geometry interface numbers them:
// 0 unknown, 1 to 10 floppy formats, 11 removable media, 12 fixed media,
// 13 to 25 high-capacity floppy and magneto-optical formats.
inline constexpr std::int32_t kRemovableMedia = 11;
inline constexpr std::int32_t kFixedMedia = 12;

// The questions the recovery sources ask about whole disks.
class DiskQueries {
 public:
  virtual ~DiskQueries() = default;

  // The device nodes of the whole disks; entry i is disk number i.
  virtual std::vector<std::string> DiskDevices() = 0;
  virtual std::int32_t MediaType(const std::string& device) = 0;
};

// The system's disks. Lives as long as the program.
DiskQueries& SystemDisks();

}  // namespace frambit::platform
