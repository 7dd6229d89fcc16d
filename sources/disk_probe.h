#pragma once

#include <cstdint>
#include <string>

#include "platform/disks.h"
#include "platform/input_stream.h"
#include "platform/volumes.h"

namespace frambit {

// The exact length of an open disk: the device's own length, to its last
// sector, not a product of cylinders, heads and sectors.
std::int64_t DiskSize(platform::InputStream& disk);

// A short English text for a disk's media type code; unknown codes,
// negative ones included, give "UNKNOWN".
std::string MediaTypeText(std::int32_t mediaType);
std::string MediaTypeText(platform::DiskQueries& disks, const std::string& device);

// The device node of the first optical drive; empty when there is none.
std::string FirstCdRomLetter(platform::VolumeQueries& volumes);

// A byte count with 1024-based units from " B" to " TB": the whole number,
// then two digits of the last remainder when they are not 00 (1.50 KB, 1 KB).
std::string SizeText(std::int64_t bytes);

}  // namespace frambit
