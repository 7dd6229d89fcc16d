#include "engine/salvaging_read.h"

#include <algorithm>
#include <cstring>

namespace frambit {
namespace {

constexpr std::size_t kSalvageSectorBytes = 512;

// The part of [from, to) that falls inside [countedFrom, countedTo).
std::int64_t CountedOverlap(std::size_t from, std::size_t to, std::size_t countedFrom, std::size_t countedTo) {
  const std::size_t begin = std::max(from, countedFrom);
  const std::size_t end = std::min(to, countedTo);
  return end > begin ? static_cast<std::int64_t>(end - begin) : 0;
}

}  // namespace

std::int64_t ReadSalvaging(platform::InputStream& stream, std::int64_t offsetBytes, std::span<std::byte> out,
                           std::size_t countedFrom, std::size_t countedTo) {
  std::int64_t missing = 0;
  std::size_t done = 0;
  // Bytes from out[done] to the end of its sector, or of out.
  const auto restOfSector = [&] {
    const auto position = static_cast<std::uint64_t>(offsetBytes) + done;
    return std::min(out.size() - done, kSalvageSectorBytes - static_cast<std::size_t>(position % kSalvageSectorBytes));
  };
  bool failing = false;  // after an error, go on in single sectors
  while (done < out.size()) {
    // Retries keep to the medium's sector grid, so one bad sector costs one
    // sector of zeros.
    const std::size_t want = failing ? restOfSector() : out.size() - done;
    const platform::ReadOutcome got = stream.ReadAt(offsetBytes + static_cast<std::int64_t>(done), out.subspan(done, want));
    done += got.bytesRead;
    if (got.bytesRead == want) continue;
    if (got.errorCode == 0) {  // the end of the stream: nothing more to read
      std::memset(out.data() + done, 0, out.size() - done);
      missing += CountedOverlap(done, out.size(), countedFrom, countedTo);
      break;
    }
    // The sector holding `done` is unreadable: zero the rest of that sector.
    const std::size_t bad = restOfSector();
    std::memset(out.data() + done, 0, bad);
    missing += CountedOverlap(done, done + bad, countedFrom, countedTo);
    done += bad;
    failing = true;
  }
  return missing;
}

}  // namespace frambit
