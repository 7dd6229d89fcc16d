#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/input_stream.h"

namespace frambit {

// Raw devices accept reads only on whole 512-byte sectors, while runs start
// anywhere. These helpers widen a byte range to the sectors around it:
//
//        start                 offset        offset+count
//          |<---- head ---->|    |<-- count -->|
//          |________________|____|_____________|__________|
//          sector boundary                      next boundary strictly after
//          |<------------------------- total -------------------->|
std::int64_t SectorOffset(std::int64_t offset);
std::int64_t AlignedStart(std::int64_t offset);
std::int64_t AlignedLength(std::int32_t count, std::int64_t offset);

// Returns the count bytes of the stream from offset on, read through one
// sector-aligned read into scratch, which the caller keeps from call to call;
// the result points into it. Bytes the stream cannot deliver come back as 0;
// the ones inside the requested range are added to unreadableBytes.
std::span<const std::byte> SectorAlignedRead(platform::InputStream& stream, std::int32_t count, std::int64_t offset,
                                             std::vector<std::byte>& scratch, std::int64_t& unreadableBytes);

}  // namespace frambit
