#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/volumes.h"

namespace frambit {

// The entry being added to the volume list.
struct VolumeItem {
  std::string Drive;
  std::string VolumeLabel;
  std::string KindAndDisk;  // DriveKind and the disk number: HD0
  std::string DriveKind;
  std::string FileSystemName;
  std::string SerialNumber;
  std::int64_t TotalBytes = 0;
  std::int64_t FreeBytes = 0;
  bool Filled = false;
};

// The volumes the target menu offers, each with its caption, gathered once
// at construction. A volume is offered when the disk it lies on is known or
// it has a label.
class TNTVolumeList {
 public:
  explicit TNTVolumeList(platform::VolumeQueries& queries);

  int VolumeCount() const { return static_cast<int>(Captions.size()); }
  // index from 0 to VolumeCount() - 1.
  const std::string& VolumeCaption(int index) const { return Captions.at(static_cast<std::size_t>(index)); }
  // The volume's device node.
  const std::string& VolumeLetter(int index) const { return Letters.at(static_cast<std::size_t>(index)); }

  // The size inside a caption: "%.2f GB" from 1 MiB on, "%.2f MB" below.
  static std::string SizeCaption(double bytes);

  // After construction, the last volume listed.
  VolumeItem Item;

 private:
  void Enumerate(platform::VolumeQueries& queries);

  std::vector<std::string> Captions;
  std::vector<std::string> Letters;
};

}  // namespace frambit
