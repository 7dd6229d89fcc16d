#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/disks.h"
#include "platform/input_stream.h"
#include "platform/system_error_text.h"
#include "platform/user_error.h"
#include "platform/volumes.h"
#include "sources/source_selection.h"

namespace frambit::test {

// Volumes and disks as a test describes them: no rights, an optical drive,
// a volume of many extents, a disk that does not open, a disk of 2^32
// sectors. A path that is no fake device is opened from the real file
// system, so image files are real files.
class FakeSources : public platform::VolumeQueries, public platform::DiskQueries {
 public:
  struct Volume {
    std::string device;
    std::optional<platform::VolumeLabels> labels;  // nullopt: no file system recognised
    std::optional<platform::VolumeSpace> space;    // nullopt: not mounted
    platform::DriveType type = platform::DriveType::Fixed;
    std::optional<std::vector<platform::DiskExtent>> extents;  // nullopt: cannot be opened for the query
    std::int64_t deviceBytes = 0;
  };
  struct Disk {
    std::string device;
    std::int64_t deviceBytes = 0;
    std::int32_t mediaType = platform::kFixedMedia;
    bool opens = true;
  };

  std::vector<Volume> volumes;
  std::vector<Disk> disks;
  std::string firstCdRom;
  // Devices opened and volumes examined, in order.
  std::vector<std::string> opened;
  std::vector<std::string> labelReads;

  RecoverySources Sources() {
    return {*this, *this, [this](const std::string& path) { return Open(path); }};
  }

  std::vector<std::string> VolumeDevices() override {
    std::vector<std::string> devices;
    for (const Volume& volume : volumes) devices.push_back(volume.device);
    return devices;
  }
  std::optional<platform::VolumeLabels> ReadLabels(const std::string& device) override {
    labelReads.push_back(device);
    const Volume* volume = FindVolume(device);
    return volume ? volume->labels : std::nullopt;
  }
  std::optional<platform::VolumeSpace> ReadSpace(const std::string& device) override {
    const Volume* volume = FindVolume(device);
    return volume ? volume->space : std::nullopt;
  }
  platform::DriveType TypeOf(const std::string& device) override {
    const Volume* volume = FindVolume(device);
    return volume ? volume->type : platform::DriveType::Fixed;
  }
  std::optional<std::vector<platform::DiskExtent>> ReadExtents(const std::string& device) override {
    const Volume* volume = FindVolume(device);
    return volume ? volume->extents : std::nullopt;
  }
  std::string FirstCdRom() override { return firstCdRom; }
  bool IsBlockDevice(const std::string& path) override { return FindVolume(path) || FindDisk(path); }

  std::vector<std::string> DiskDevices() override {
    std::vector<std::string> devices;
    for (const Disk& disk : disks) devices.push_back(disk.device);
    return devices;
  }
  std::int32_t MediaType(const std::string& device) override {
    const Disk* disk = FindDisk(device);
    return disk ? disk->mediaType : 0;
  }

 private:
  // A device of the given length that reads as zeros.
  class Device final : public platform::InputStream {
   public:
    explicit Device(std::int64_t bytes) : bytes_(bytes) {}
    std::int64_t Size() override { return bytes_; }
    platform::ReadOutcome ReadAt(std::int64_t offset, std::span<std::byte> out) override {
      const std::int64_t left = offset < bytes_ ? bytes_ - offset : 0;
      const auto count = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(out.size())));
      std::memset(out.data(), 0, count);
      return {count, 0};
    }

   private:
    std::int64_t bytes_;
  };

  std::unique_ptr<platform::InputStream> Open(const std::string& path) {
    if (const Disk* disk = FindDisk(path)) {
      if (!disk->opens) throw UserError(platform::CannotOpenText(path, EACCES));
      opened.push_back(path);
      return std::make_unique<Device>(disk->deviceBytes);
    }
    if (const Volume* volume = FindVolume(path)) {
      opened.push_back(path);
      return std::make_unique<Device>(volume->deviceBytes);
    }
    return platform::OpenInput(path);
  }
  const Volume* FindVolume(const std::string& device) const {
    for (const Volume& volume : volumes)
      if (volume.device == device) return &volume;
    return nullptr;
  }
  const Disk* FindDisk(const std::string& device) const {
    for (const Disk& disk : disks)
      if (disk.device == device) return &disk;
    return nullptr;
  }
};

}  // namespace frambit::test
