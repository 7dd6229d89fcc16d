#include "engine/sector_reader.h"

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

std::span<const std::byte> SectorAlignedRead(platform::InputStream& stream, std::int32_t count, std::int64_t offset,
                                             std::vector<std::byte>& scratch, std::int64_t& unreadableBytes) {
  const std::int64_t start = AlignedStart(offset);
  const auto total = static_cast<std::size_t>(AlignedLength(count, offset));
  const auto head = static_cast<std::size_t>(SectorOffset(offset));
  const auto wanted = static_cast<std::size_t>(count);
  if (scratch.size() < total) scratch.resize(total);
  const std::span<std::byte> span(scratch.data(), total);
  unreadableBytes += ReadSalvaging(stream, start, span, head, head + wanted);
  return span.subspan(head, wanted);
}

}  // namespace frambit
