#include "engine/sector_reader.h"

#include <gtest/gtest.h>

#include "engine/salvaging_read.h"
#include "tests/support/memory_stream.h"

namespace frambit {
namespace {

using test::MemoryStream;

std::vector<std::byte> Counting(std::size_t size) {
  std::vector<std::byte> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::byte{static_cast<std::uint8_t>(i * 7 + i / 251)};
  return bytes;
}

struct AlignedCase {
  std::int64_t offset;
  std::int32_t count;
  std::int64_t start;
  std::int64_t total;
};

TEST(SectorReader, WidensEveryRangeToTheSectorsAroundIt) {
  constexpr std::int64_t k4GiB = 4'294'967'296;
  const AlignedCase cases[] = {
      {1000, 100, 512, 1024},       {1024, 1, 1024, 512},         {1023, 1, 512, 1024},
      {0, 512, 0, 1024},            {512, 262144, 512, 262656},   {700, 262144, 512, 262656},
      {k4GiB + 700, 262144, k4GiB + 512, 262656},                 {k4GiB * 3 + 1, 511, k4GiB * 3, 1024},
  };
  for (const AlignedCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offset << " count " << c.count);
    EXPECT_EQ(AlignedStart(c.offset), c.start);
    EXPECT_EQ(AlignedLength(c.count, c.offset), c.total);
    EXPECT_EQ(SectorOffset(c.offset), c.offset - c.start);
  }
}

TEST(SectorReader, DeliversExactlyTheRequestedBytesThroughOneAlignedRead) {
  const auto data = Counting(300'000);
  const std::pair<std::int64_t, std::int32_t> ranges[] = {{1000, 100}, {1023, 1}, {0, 512}, {700, 262144}, {37, 5}};
  for (const auto& [offset, count] : ranges) {
    MemoryStream stream(data);
    std::vector<std::byte> scratch;
    std::int64_t unreadable = 0;
    const auto bytes = SectorAlignedRead(stream, count, offset, scratch, unreadable);
    EXPECT_EQ(std::vector<std::byte>(bytes.begin(), bytes.end()),
              std::vector<std::byte>(data.begin() + offset, data.begin() + offset + count));
    EXPECT_EQ(unreadable, 0);
    ASSERT_EQ(stream.Reads().size(), 1u);
    EXPECT_EQ(stream.Reads()[0].offset, AlignedStart(offset));
    EXPECT_EQ(static_cast<std::int64_t>(stream.Reads()[0].length), AlignedLength(count, offset));
  }
}

TEST(SectorReader, ARangeEndingAtTheEndOfTheTargetIsComplete) {
  // The aligned read asks for one sector past the end; that is not damage.
  const auto data = Counting(1024);
  MemoryStream stream(data);
  std::vector<std::byte> scratch;
  std::int64_t unreadable = 0;
  const auto bytes = SectorAlignedRead(stream, 512, 512, scratch, unreadable);
  EXPECT_EQ(std::vector<std::byte>(bytes.begin(), bytes.end()), std::vector<std::byte>(data.begin() + 512, data.end()));
  EXPECT_EQ(unreadable, 0);
}

TEST(SectorReader, ABadSectorBecomesZerosAndIsCounted) {
  const auto data = Counting(8192);
  MemoryStream stream(data);
  stream.AddBadRange(2048, 2049);  // sector 4
  // A scratch buffer left dirty by an earlier, longer read.
  std::vector<std::byte> scratch(10'000, std::byte{0xEE});
  std::int64_t unreadable = 0;
  const auto bytes = SectorAlignedRead(stream, 4000, 100, scratch, unreadable);
  ASSERT_EQ(bytes.size(), 4000u);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t at = 100 + i;
    const bool inBadSector = at >= 2048 && at < 2560;
    ASSERT_EQ(bytes[i], inBadSector ? std::byte{0} : data[at]) << "target byte " << at;
  }
  EXPECT_EQ(unreadable, 512);
}

TEST(SalvagingRead, ReadsPastBadSectorsSectorBySector) {
  const auto data = Counting(4096);
  MemoryStream stream(data);
  stream.AddBadRange(1000, 1100);  // touches the sectors at 512 and 1024
  std::vector<std::byte> out(4096, std::byte{0xEE});
  EXPECT_EQ(ReadSalvaging(stream, 0, out), 24 + 512);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool lost = i >= 1000 && i < 1536;
    ASSERT_EQ(out[i], lost ? std::byte{0} : data[i]) << "byte " << i;
  }
}

TEST(SalvagingRead, ATargetThatShrankReadsAsZerosAndIsCounted) {
  MemoryStream stream(Counting(4096));
  stream.Truncate(1000);
  std::vector<std::byte> out(2048, std::byte{0xEE});
  EXPECT_EQ(ReadSalvaging(stream, 0, out), 1048);
  EXPECT_EQ(out[999], Counting(4096)[999]);
  EXPECT_EQ(out[1000], std::byte{0});
  EXPECT_EQ(out[2047], std::byte{0});
}

}  // namespace
}  // namespace frambit
