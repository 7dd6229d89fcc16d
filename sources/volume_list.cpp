#include "sources/volume_list.h"

#include <fmt/format.h>

#include "sources/volume_info.h"

namespace frambit {

TNTVolumeList::TNTVolumeList(platform::VolumeQueries& queries) { Enumerate(queries); }

std::string TNTVolumeList::SizeCaption(double bytes) {
  // The threshold is 1 MiB, not 1 GiB: a 512 MiB volume shows as 0.50 GB.
  if (bytes >= 1048576) return fmt::format("{:.2f} GB", bytes / 1024 / 1024 / 1024);
  return fmt::format("{:.2f} MB", bytes / 1024 / 1024);
}

void TNTVolumeList::Enumerate(platform::VolumeQueries& queries) {
  for (const std::string& device : queries.VolumeDevices()) {
    const TNTVolumeInfo current(device, queries);
    if (current.DiskExtent.DiskNumber == 255 && current.VolumeLabel.empty()) continue;
    Item = VolumeItem{current.Drive,
                      current.VolumeLabel,
                      current.DriveKind + std::to_string(current.DiskExtent.DiskNumber),
                      current.DriveKind,
                      current.FileSystemName,
                      current.SerialNumber,
                      current.TotalBytes,
                      current.FreeBytes,
                      true};
    Letters.push_back(Item.Drive);
    Captions.push_back(Item.VolumeLabel + " (" + Item.Drive + "), " + Item.KindAndDisk + ", " + Item.FileSystemName +
                       ", [" + SizeCaption(static_cast<double>(Item.FreeBytes)) + "/" +
                       SizeCaption(static_cast<double>(Item.TotalBytes)) + "]");
  }
}

}  // namespace frambit
