#pragma once

#include <cstdint>
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

// Sets bytes to the count bytes of the stream from offset on, read through
// one sector-aligned read. Bytes the stream cannot deliver come back as 0;
// the ones inside the requested range are added to unreadableBytes. Returns
// count.
std::int32_t SectorAlignedRead(platform::InputStream& stream, std::int32_t count, std::vector<std::byte>& bytes,
                               std::int64_t offset, std::int64_t& unreadableBytes);

}  // namespace frambit
