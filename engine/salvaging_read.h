#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/input_stream.h"

namespace frambit {

// Fills out with the stream's bytes from offsetBytes on, reading past bad
// sectors instead of giving up: after a failed read the rest is retried
// sector by sector, and every byte that cannot be read, or lies beyond the
// stream's end, becomes 0. Returns how many of the bytes out[countedFrom,
// countedTo) came out that way; bytes outside that range may be missing
// without being counted (an aligned read that runs past the end on purpose).
std::int64_t ReadSalvaging(platform::InputStream& stream, std::int64_t offsetBytes, std::span<std::byte> out,
                           std::size_t countedFrom, std::size_t countedTo);

inline std::int64_t ReadSalvaging(platform::InputStream& stream, std::int64_t offsetBytes,
                                  std::span<std::byte> out) {
  return ReadSalvaging(stream, offsetBytes, out, 0, out.size());
}

}  // namespace frambit
