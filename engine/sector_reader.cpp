#include "engine/sector_reader.h"

#include <cstring>
#include <memory>

#include "engine/salvaging_read.h"

namespace frambit {
namespace {
constexpr std::int64_t kSectorBytes = 512;
}

std::int64_t SectorOffset(std::int64_t offset) { return offset % kSectorBytes; }

std::int64_t AlignedStart(std::int64_t offset) { return offset - SectorOffset(offset); }

std::int64_t AlignedLength(std::int32_t count, std::int64_t offset) {
  return std::int64_t{count} + SectorOffset(offset) + kSectorBytes - (offset + count) % kSectorBytes;
}

std::int32_t SectorAlignedRead(platform::InputStream& stream, std::int32_t count, std::vector<std::byte>& bytes,
                               std::int64_t offset, std::int64_t& unreadableBytes) {
  const std::int64_t start = AlignedStart(offset);
  const auto total = static_cast<std::size_t>(AlignedLength(count, offset));
  const auto head = static_cast<std::size_t>(SectorOffset(offset));
  // Every byte of the scratch buffer is either read or zeroed.
  const auto scratch = std::make_unique_for_overwrite<std::byte[]>(total);
  bytes.resize(static_cast<std::size_t>(count));
  unreadableBytes += ReadSalvaging(stream, start, {scratch.get(), total}, head, head + bytes.size());
  std::memcpy(bytes.data(), scratch.get() + head, bytes.size());
  return count;
}

}  // namespace frambit
