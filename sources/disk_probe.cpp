#include "sources/disk_probe.h"

#include <fmt/format.h>

namespace frambit {

std::int64_t DiskSize(platform::InputStream& disk) { return disk.Size(); }

std::string MediaTypeText(std::int32_t mediaType) {
  if (mediaType == 0) return "Unknown Media Type";
  if (mediaType >= 1 && mediaType <= 10) return "Floppy Disk";
  if (mediaType == platform::kRemovableMedia) return "Removable Drive";
  if (mediaType == platform::kFixedMedia) return "Fixed Drive";
  if (mediaType >= 13 && mediaType <= 25) return "Zip / Other";
  return "UNKNOWN";
}

std::string MediaTypeText(platform::DiskQueries& disks, const std::string& device) {
  return MediaTypeText(disks.MediaType(device));
}

std::string FirstCdRomLetter(platform::VolumeQueries& volumes) { return volumes.FirstCdRom(); }

std::string SizeText(std::int64_t bytes) {
  static constexpr const char* kUnits[] = {" B", " KB", " MB", " GB", " TB"};
  auto value = static_cast<std::uint64_t>(bytes);
  std::uint64_t remainder = 0;
  std::size_t unit = 0;
  // Stops at TB, so 2^50 bytes is 1024 TB.
  while (value >= 1024 && unit < 4) {
    remainder = value % 1024;
    value /= 1024;
    ++unit;
  }
  // Only the last division's remainder counts, truncated to hundredths.
  const std::uint64_t hundredths = remainder * 100 / 1024;
  std::string text = std::to_string(value);
  if (hundredths > 0) text += fmt::format(".{:02}", hundredths);
  return text + kUnits[unit];
}

}  // namespace frambit
