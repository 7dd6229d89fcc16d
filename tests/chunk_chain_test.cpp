#include "engine/chunk_chain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/little_endian.h"
#include "tests/support/chunk_builder.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::ChunkBuilder;

struct FoundRun {
  std::int64_t start;
  std::int64_t end;
  std::size_t chunks;
  bool operator==(const FoundRun&) const = default;
};

void PrintTo(const FoundRun& run, std::ostream* out) {
  *out << "[" << run.start << ", " << run.end << ") with " << run.chunks << " chunks";
}

// A sample with a video stream 0 and a sound stream 1 whose largest chunks
// are small, so a closing chunk above 1 MiB is implausible.
AviHeader VideoAndSound() {
  AviHeader header;
  for (const std::uint32_t type : {FourCc("vids"), FourCc("auds")}) {
    AviStream stream;
    stream.number = static_cast<int>(header.streams.size());
    stream.type = type;
    stream.suggestedBufferBytes = 1000;
    header.streams.push_back(stream);
  }
  return header;
}

std::vector<FoundRun> Follow(const std::vector<std::byte>& bytes) {
  const MovieChunkIds ids(VideoAndSound());
  HitList hits;
  for (const SignatureSet& set : SplitForVectorSearch(ids.Patterns(), EmptyChunks::Keep)) SearchBlock(set, bytes, 0, hits);
  SortHits(hits);
  std::vector<FoundRun> runs;
  const auto isRecordList = [&](std::int64_t offset) {
    return static_cast<std::size_t>(offset) + 12 <= bytes.size() && std::memcmp(bytes.data() + offset + 8, "rec ", 4) == 0;
  };
  FollowChains(hits, ids, static_cast<std::int64_t>(bytes.size()), isRecordList, [&](const ChunkRun& run) {
    std::int64_t previousEnd = run.start;
    for (const MovieChunk& chunk : run.chunks) {
      EXPECT_TRUE(chunk.offset == previousEnd || chunk.offset == previousEnd + 1) << "at " << chunk.offset;
      previousEnd = chunk.offset + UnpaddedSpan(chunk);
    }
    runs.push_back({run.start, run.end, run.chunks.size()});
  });
  return runs;
}

// A chunk whose data is given: the header, the data and a pad byte after odd data.
std::int64_t ChunkWithData(ChunkBuilder& b, const std::string& id, const std::string& data) {
  const std::int64_t at = b.Header(id, static_cast<std::uint32_t>(data.size()));
  b.Raw(test::Bytes(data));
  if (data.size() % 2 == 1) b.Raw({std::byte{0}});
  return at;
}

struct ChainCase {
  const char* name;
  // Builds the target and returns the runs FollowChains must find.
  std::function<std::vector<FoundRun>(ChunkBuilder&)> build;
};

void PrintTo(const ChainCase& c, std::ostream* out) { *out << c.name; }

class ChunkChainCases : public testing::TestWithParam<ChainCase> {};

TEST_P(ChunkChainCases, FindsExactlyTheExpectedRuns) {
  ChunkBuilder builder;
  const std::vector<FoundRun> expected = GetParam().build(builder);
  EXPECT_EQ(Follow(builder.Bytes()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    ChunkChain, ChunkChainCases,
    testing::Values(
        ChainCase{"InterleavedStreamsWithPadBytesAndAnEmptyFrame",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Noise(100);
                    b.Chunk("00dc", 501);
                    b.Chunk("01wb", 200);
                    b.Chunk("00dc", 0);  // a dropped frame
                    b.Chunk("01wb", 33);
                    b.Chunk("00dc", 1000);
                    const std::int64_t end = b.Size();
                    b.Noise(100);
                    return {{100, end, 5}};
                  }},
        ChainCase{"PadBytesMissingFromTheMediumStillChain",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 301, false);
                    b.Chunk("01wb", 11, false);
                    b.Chunk("00dc", 20);
                    const std::int64_t end = b.Size();
                    b.Noise(50);
                    return {{0, end, 3}};
                  }},
        ChainCase{"HeadersInsideChunkDataNeitherBreakNorExtend",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Noise(10);
                    // A frame that holds a sound header, and a stream index that names 00dc.
                    ChunkWithData(b, "00dc", std::string("01wb\x04\0\0\0abcd", 12) + "xyz");
                    ChunkWithData(b, "ix00", std::string("\x02\0\0\x01\x01\0\0\0", 8) + "00dc" + std::string(16, 'i'));
                    b.Chunk("01wb", 64);
                    b.Chunk("00dc", 64);
                    const std::int64_t end = b.Size();
                    b.Noise(10);
                    return {{10, end, 4}};
                  }},
        ChainCase{"ARecordListCountsAsItsHeader",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Noise(10);
                    for (int i = 0; i < 2; ++i) {
                      b.Header("LIST", 4 + 8 + 40 + 8 + 40);
                      b.Raw(test::Bytes("rec "));
                      b.Chunk("00dc", 40);
                      b.Chunk("01wb", 40);
                    }
                    const std::int64_t end = b.Size();
                    b.Noise(10);
                    // The run starts with the first chunk of a stream.
                    return {{22, end, 5}};
                  }},
        ChainCase{"AnotherListEndsTheRun",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t end = b.Size();
                    b.Header("LIST", 100);
                    b.Raw(test::Bytes("INFO"));
                    b.Chunk("00dc", 40);
                    b.Noise(10);
                    return {{0, end, 2}};
                  }},
        ChainCase{"ChunksOfAnotherStreamEndTheRun",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t firstEnd = b.Size();
                    b.Chunk("02wb", 40);
                    const std::int64_t second = b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t secondEnd = b.Size();
                    b.Noise(10);
                    return {{0, firstEnd, 2}, {second, secondEnd, 2}};
                  }},
        ChainCase{"AnImplausibleClosingChunkIsLeftOut",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t end = b.Header("00dc", (1u << 20) + 1);
                    b.Noise(2000);
                    return {{0, end, 2}};
                  }},
        ChainCase{"AClosingChunkPastTheTargetEndIsLeftOut",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t end = b.Header("00dc", 5000);
                    b.Noise(100);
                    return {{0, end, 2}};
                  }},
        ChainCase{"FillersAtTheTailAreLeftOut",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("00dc", 40);
                    b.Chunk("01wb", 40);
                    const std::int64_t end = b.Chunk("JUNK", 30);
                    b.Chunk("ix01", 30);
                    b.Noise(10);
                    return {{0, end, 2}};
                  }},
        ChainCase{"NoRunWithoutALinkOrWithoutAStreamChunk",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Chunk("JUNK", 40);
                    b.Chunk("JUNK", 40);
                    b.Chunk("ix00", 40);
                    b.Noise(10);
                    b.Chunk("00dc", 40);  // alone
                    b.Noise(10);
                    return {};
                  }},
        ChainCase{"AFalseStartDoesNotHideTheRunInsideIt",
                  [](ChunkBuilder& b) -> std::vector<FoundRun> {
                    b.Header("01wb", 60);  // its end falls inside the run's second chunk
                    b.Noise(12);
                    const std::int64_t start = b.Chunk("00dc", 30);
                    b.Chunk("01wb", 30);
                    b.Chunk("00dc", 30);
                    const std::int64_t end = b.Size();
                    b.Noise(10);
                    return {{start, end, 3}};
                  }}),
    [](const testing::TestParamInfo<ChainCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace frambit
