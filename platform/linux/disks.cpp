#include "platform/disks.h"

#include "platform/linux/block_devices.h"
#include "platform/volumes.h"

namespace frambit::platform {
namespace {

class LinuxDisks final : public DiskQueries {
 public:
  std::vector<std::string> DiskDevices() override {
    std::vector<std::string> devices;
    for (const std::string& name : linux_devices::DiskNames()) devices.push_back(linux_devices::NodeOf(name));
    return devices;
  }

  std::int32_t MediaType(const std::string& device) override {
    return SystemVolumes().TypeOf(device) == DriveType::Removable ? kRemovableMedia : kFixedMedia;
  }
};

}  // namespace

DiskQueries& SystemDisks() {
  static LinuxDisks disks;
  return disks;
}

}  // namespace frambit::platform
