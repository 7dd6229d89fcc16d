#include "platform/volumes.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <memory>

#include "platform/linux/block_devices.h"

namespace frambit::platform {
namespace {

namespace fs = std::filesystem;
using namespace linux_devices;

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The volume serial is 8 upper-case hexadecimal digits: a FAT UUID
// (ABCD-1234) gives exactly the FAT serial, a longer UUID its first 8 digits.
std::string SerialFromUuid(const std::string& uuid) {
  std::string digits;
  for (const char c : uuid) {
    if (std::isxdigit(static_cast<unsigned char>(c)) && digits.size() < 8)
      digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return digits;
}

// udev names the links of /dev/disk/by-label with \x20 for a space.
std::string UnescapeUdev(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() && std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
      out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

// The name of the link in /dev/disk/<folder> that points at the device.
std::string UdevLinkName(const std::string& folder, const std::string& device) {
  std::error_code error;
  const fs::path target = fs::canonical(device, error);
  if (error) return "";
  for (const auto& entry : fs::directory_iterator(fs::path("/dev/disk") / folder, error)) {
    std::error_code ignored;
    if (fs::canonical(entry.path(), ignored) == target) return UnescapeUdev(entry.path().filename());
  }
  return "";
}

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};

std::string ProbeValue(blkid_probe probe, const char* name) {
  const char* value = nullptr;
  return blkid_probe_lookup_value(probe, name, &value, nullptr) == 0 && value != nullptr ? value : "";
}

class LinuxVolumes final : public VolumeQueries {
 public:
  std::vector<std::string> VolumeDevices() override {
    std::vector<std::string> devices;
    for (const std::string& whole : WholeDeviceNames()) {
      if (NumberAttribute(whole, "size").value_or(0) <= 0) continue;
      std::vector<std::string> names{whole};
      for (const std::string& partition : PartitionNames(whole)) names.push_back(partition);
      for (const std::string& name : names) {
        const std::string node = NodeOf(name);
        if (MountOf(node) || ReadLabels(node)) devices.push_back(node);
      }
    }
    return devices;
  }

  std::optional<VolumeLabels> ReadLabels(const std::string& device) override {
    // libblkid opens the device read-only.
    std::unique_ptr<blkid_struct_probe, ProbeDeleter> probe(blkid_new_probe_from_filename(device.c_str()));
    if (!probe) return LabelsWithoutRights(device);
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(),
                                      BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_USAGE);
    if (blkid_do_safeprobe(probe.get()) != 0) return std::nullopt;
    // Swap, RAID members and encrypted containers are no file systems to browse.
    if (ProbeValue(probe.get(), "USAGE") != "filesystem") return std::nullopt;
    return VolumeLabels{ProbeValue(probe.get(), "LABEL"), SerialFromUuid(ProbeValue(probe.get(), "UUID")),
                        ProbeValue(probe.get(), "TYPE")};
  }

  std::optional<VolumeSpace> ReadSpace(const std::string& device) override {
    const auto mount = MountOf(device);
    struct statvfs space {};
    if (!mount || ::statvfs(mount->mountPoint.c_str(), &space) != 0) return std::nullopt;
    return VolumeSpace{static_cast<std::int64_t>(space.f_blocks * space.f_frsize),
                       static_cast<std::int64_t>(space.f_bavail * space.f_frsize)};
  }

  DriveType TypeOf(const std::string& device) override {
    const std::string name = NameOf(device);
    if (name.empty()) return DriveType::Unknown;
    const std::string whole = WholeNameOf(name);
    if (StartsWith(whole, "sr")) return DriveType::CdRom;
    if (StartsWith(whole, "ram") || StartsWith(whole, "zram")) return DriveType::RamDisk;
    std::error_code error;
    const std::string sysfsPath = fs::canonical(fs::path("/sys/block") / whole, error).string();
    if (NumberAttribute(whole, "removable").value_or(0) == 1 || sysfsPath.find("/usb") != std::string::npos ||
        StartsWith(whole, "mmcblk"))
      return DriveType::Removable;
    return DriveType::Fixed;
  }

  std::optional<std::vector<DiskExtent>> ReadExtents(const std::string& device) override {
    const int descriptor = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    ::close(descriptor);
    const std::string name = NameOf(device);
    const std::string whole = WholeNameOf(name);
    const std::vector<std::string> disks = DiskNames();
    std::vector<DiskExtent> extents;
    for (std::size_t number = 0; number < disks.size(); ++number) {
      if (disks[number] != whole) continue;
      // sysfs counts in 512-byte units whatever the sector size.
      const std::int64_t start = IsPartition(name) ? NumberAttribute(name, "start").value_or(0) : 0;
      extents.push_back({static_cast<std::uint32_t>(number), start * 512,
                         NumberAttribute(name, "size").value_or(0) * 512});
    }
    return extents;
  }

  std::string FirstCdRom() override {
    for (const std::string& name : WholeDeviceNames())
      if (StartsWith(name, "sr")) return NodeOf(name);
    return "";
  }

  bool IsBlockDevice(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
  }

 private:
  // Without the right to read the device, a mounted volume still tells its
  // type, and udev's links tell its label and UUID.
  static std::optional<VolumeLabels> LabelsWithoutRights(const std::string& device) {
    const auto mount = MountOf(device);
    if (!mount) return std::nullopt;
    return VolumeLabels{UdevLinkName("by-label", device), SerialFromUuid(UdevLinkName("by-uuid", device)),
                        mount->fileSystemType};
  }
};

}  // namespace

VolumeQueries& SystemVolumes() {
  static LinuxVolumes volumes;
  return volumes;
}

}  // namespace frambit::platform
