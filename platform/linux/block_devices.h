#pragma once

// What sysfs and /proc/self/mountinfo tell about the block devices; shared
// by the volume and disk queries of this folder.

#include <optional>
#include <string>
#include <vector>

namespace frambit::platform::linux_devices {

// The entries of /sys/block sorted by name (sda, sdb, loop0, ...).
std::vector<std::string> WholeDeviceNames();
// The partitions of a whole device, by partition number (sdb1, sdb2, ...).
std::vector<std::string> PartitionNames(const std::string& wholeName);
// The whole devices that count as disks: not ram, zram or optical drives,
// not empty (no medium, a loop device without backing file).
std::vector<std::string> DiskNames();

// The kernel's name of the device a node (or a link to one) stands for:
// /dev/sdb1 -> sdb1. Empty when the path is no block device.
std::string NameOf(const std::string& devicePath);
// The whole device a partition belongs to; the name itself for a whole device.
std::string WholeNameOf(const std::string& name);
bool IsPartition(const std::string& name);
// /dev/<name>, with the '!' of names like cciss!c0d0 turned into '/'.
std::string NodeOf(const std::string& name);

// A number from /sys/class/block/<name>/<attribute>; nullopt when missing.
std::optional<long long> NumberAttribute(const std::string& name, const std::string& attribute);

// Where the device is mounted (its first mount); nullopt when it is not.
struct Mount {
  std::string mountPoint;
  std::string fileSystemType;
};
std::optional<Mount> MountOf(const std::string& devicePath);

}  // namespace frambit::platform::linux_devices
