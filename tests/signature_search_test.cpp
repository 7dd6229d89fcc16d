#include "engine/signature_search.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/signature_search_kernel.h"
#include "tests/support/chunk_builder.h"

namespace frambit {
namespace {

using test::ChunkBuilder;

const PatternList kVideoPatterns{"30306462", "30306463"};

HitList Search(const PatternList& patterns, const std::vector<std::byte>& bytes, std::int64_t base = 0) {
  HitList hits;
  SearchBlock(SignatureSet(patterns), bytes, base, hits);
  return hits;
}

std::vector<std::pair<std::int64_t, std::int32_t>> Pairs(const HitList& hits) {
  std::vector<std::pair<std::int64_t, std::int32_t>> pairs;
  for (const FragmentHit& hit : hits) pairs.emplace_back(hit.offset, hit.length);
  return pairs;
}

struct SearchCase {
  const char* name;
  PatternList patterns;
  void (*build)(ChunkBuilder&);
  std::vector<std::pair<std::int64_t, std::int32_t>> expected;
};

class SignatureSearchCases : public testing::TestWithParam<SearchCase> {};

TEST_P(SignatureSearchCases, FindsExactlyTheExpectedHeaders) {
  ChunkBuilder builder;
  GetParam().build(builder);
  EXPECT_EQ(Pairs(Search(GetParam().patterns, builder.Bytes())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SignatureSearch, SignatureSearchCases,
    testing::Values(
        SearchCase{"ZeroSizeIsSkippedAndTheSearchGoesOn", kVideoPatterns,
                   [](ChunkBuilder& b) {
                     b.Header("00dc", 0);
                     b.Header("00dc", 5);
                   },
                   {{8, 13}}},
        SearchCase{"SizeFieldsWrapAt32Bits", kVideoPatterns,
                   [](ChunkBuilder& b) {
                     b.Header("00db", 0x7FFFFFF8u);
                     b.Header("00db", 0xFFFFFFF7u);
                     b.Header("00db", 0xFFFFFFF8u);
                     b.Header("00db", 0xFFFFFFFFu);
                   },
                   {{0, INT32_MIN}, {8, -1}, {16, 0}, {24, 7}}},
        SearchCase{"AnIdentifierInsideChunkDataCountsToo", kVideoPatterns,
                   [](ChunkBuilder& b) {
                     b.Header("00dc", 20);
                     b.Noise(4);
                     b.Header("00dc", 9);
                     b.Noise(8);
                   },
                   {{0, 28}, {12, 17}}},
        SearchCase{"TooShortForAHeader", kVideoPatterns, [](ChunkBuilder& b) { b.Raw({std::byte{'0'}, std::byte{'0'}, std::byte{'d'}, std::byte{'c'}, std::byte{1}, std::byte{0}, std::byte{0}}); }, {}},
        SearchCase{"EmptyPatternList", {}, [](ChunkBuilder& b) { b.Chunk("00dc", 10); }, {}},
        SearchCase{"AnEmptyEntryEndsTheList", {"30306462", "", "30306463"},
                   [](ChunkBuilder& b) {
                     b.Chunk("00dc", 10);
                     b.Chunk("00db", 10);
                   },
                   {{18, 18}}},
        SearchCase{"AnInvalidEntryEndsTheList", {"30306463", "3030646z", "30306462"},
                   [](ChunkBuilder& b) {
                     b.Chunk("00dc", 10);
                     b.Chunk("00db", 10);
                   },
                   {{0, 18}}},
        SearchCase{"AnOddLengthEntryEndsTheList", {"3030646", "30306463"}, [](ChunkBuilder& b) { b.Chunk("00dc", 10); }, {}},
        SearchCase{"UpperAndLowerCaseDigits", {"30305F5F", "30306A6a"},
                   [](ChunkBuilder& b) {
                     b.Chunk("00__", 3);
                     b.Chunk("00jj", 3);
                   },
                   {{0, 11}, {12, 11}}},
        SearchCase{"HitsComeInOffsetOrderWhateverThePatternOrder", {"30306463", "30306462"},
                   [](ChunkBuilder& b) {
                     b.Chunk("00db", 10);
                     b.Chunk("00dc", 10);
                     b.Chunk("00db", 10);
                   },
                   {{0, 18}, {18, 18}, {36, 18}}},
        SearchCase{"AHeaderInTheLastSevenBytesIsLeftForTheNextWindow", kVideoPatterns,
                   [](ChunkBuilder& b) {
                     b.Noise(3);
                     b.Chunk("00dc", 1, false);
                     b.Raw({std::byte{'0'}, std::byte{'0'}, std::byte{'d'}, std::byte{'c'}, std::byte{9}, std::byte{0}, std::byte{0}});
                   },
                   {{3, 9}}}),
    [](const testing::TestParamInfo<SearchCase>& testCase) { return testCase.param.name; });

// The vector loop and the byte-wise tail must agree: a header at any index
// of the block is found once, with the base added.
TEST(SignatureSearch, FindsAHeaderAtEveryIndexOfTheBlock) {
  for (std::size_t index = 0; index < 200; ++index) {
    ChunkBuilder builder;
    builder.Noise(index);
    builder.Header("00db", 100);
    builder.Noise(200 - index);
    const HitList hits = Search(kVideoPatterns, builder.Bytes(), 1'000'000);
    ASSERT_EQ(hits.size(), 1u) << "index " << index;
    EXPECT_EQ(hits[0].offset, 1'000'000 + static_cast<std::int64_t>(index));
  }
}

// Moving the input by an odd number of bytes moves every hit by exactly that.
TEST(SignatureSearch, ShiftedInputGivesTheSameHitsShifted) {
  ChunkBuilder stream;
  for (int i = 0; i < 300; ++i) {
    stream.Noise(static_cast<std::size_t>(i % 37));
    stream.Chunk(i % 3 == 0 ? "00db" : "00dc", static_cast<std::uint32_t>(i % 50 + 1));
  }
  const HitList unshifted = Search(kVideoPatterns, stream.Bytes());
  ASSERT_EQ(unshifted.size(), 300u);
  for (const std::size_t shift : {1u, 3u, 17u, 63u}) {
    ChunkBuilder shifted;
    shifted.Noise(shift);
    shifted.Raw(stream.Bytes());
    const HitList hits = Search(kVideoPatterns, shifted.Bytes());
    ASSERT_EQ(hits.size(), unshifted.size()) << "shift " << shift;
    for (std::size_t i = 0; i < hits.size(); ++i) {
      EXPECT_EQ(hits[i].offset, unshifted[i].offset + static_cast<std::int64_t>(shift));
      EXPECT_EQ(hits[i].length, unshifted[i].length);
    }
  }
}

#if FRAMBIT_X86_64_KERNELS
// Both vector kernels against a plain look at every position, on bytes made
// of little but the identifiers' own letters, so that near misses abound.
TEST(SignatureSearch, VectorKernelsAgreeWithAPlainSearch) {
  const PatternList patterns{"30306462", "30306463", "30305F5F"};
  const SignatureSet signatures(patterns);
  const auto filter = detail::FilterOf(signatures);
  ASSERT_TRUE(filter.has_value());
  std::mt19937 random(7);
  const char letters[] = {'0', '0', '0', 'd', 'c', 'b', '_', 1, 0};
  std::vector<std::byte> bytes(70'000);
  for (auto& b : bytes) b = std::byte{static_cast<std::uint8_t>(letters[random() % sizeof letters])};

  HitList expected;
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) detail::AddHit(signatures, bytes.data(), i, 100, expected);
  ASSERT_GT(expected.size(), 100u);

  using Kernel = std::size_t (*)(const SignatureSet&, const detail::CandidateFilter&, std::span<const std::byte>,
                                 std::int64_t, HitList&);
  std::vector<std::pair<const char*, Kernel>> kernels{{"SSE2", detail::SearchVectorSse2}};
  if (__builtin_cpu_supports("avx2")) kernels.emplace_back("AVX2", detail::SearchVectorAvx2);
  for (const auto& [name, kernel] : kernels) {
    HitList hits;
    const std::size_t searched = kernel(signatures, *filter, bytes, 100, hits);
    EXPECT_GT(searched, bytes.size() - 200) << name;
    HitList expectedPart;
    for (const FragmentHit& hit : expected)
      if (hit.offset - 100 < static_cast<std::int64_t>(searched)) expectedPart.push_back(hit);
    EXPECT_EQ(Pairs(hits), Pairs(expectedPart)) << name;
  }
}
#endif

// A list of identifiers too varied for one vector pass is split into sets
// that together find exactly what the whole list finds position by position,
// identifiers included, and empty chunks too when asked.
TEST(SignatureSearch, SplitSetsFindWhatTheWholeListFinds) {
  const PatternList patterns{"30306463", "30306462", "69783030", "30317762", "69783031", "4A554E4B", "4C495354",
                             "30327478"};
  const std::vector<SignatureSet> sets = SplitForVectorSearch(patterns, EmptyChunks::Keep);
  ASSERT_GT(sets.size(), 1u);
  std::size_t words = 0;
  for (const SignatureSet& set : sets) {
    EXPECT_TRUE(detail::FilterOf(set).has_value());
    EXPECT_TRUE(set.KeepsEmptyChunks());
    words += set.Words().size();
  }
  EXPECT_EQ(words, patterns.size());

  const SignatureSet whole(patterns, EmptyChunks::Keep);
  std::mt19937 random(11);
  const char* const ids[] = {"00dc", "00db", "ix00", "01wb", "ix01", "JUNK", "LIST", "02tx", "01dc", "00wb"};
  ChunkBuilder builder;
  for (int i = 0; i < 400; ++i) {
    builder.Noise(random() % 300);
    builder.Header(ids[random() % std::size(ids)], random() % 3 == 0 ? 0 : static_cast<std::uint32_t>(random()));
  }
  const auto& bytes = builder.Bytes();
  HitList expected;
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) detail::AddHit(whole, bytes.data(), i, 5, expected);
  HitList hits;
  for (const SignatureSet& set : sets) SearchBlock(set, bytes, 5, hits);
  SortHits(hits);
  ASSERT_EQ(Pairs(hits), Pairs(expected));
  for (std::size_t i = 0; i < hits.size(); ++i) EXPECT_EQ(hits[i].identifier, expected[i].identifier);
  EXPECT_GT(expected.size(), 300u);
}

TEST(SignatureSearch, RunsOfZeroDigitsAreNoHeaders) {
  std::vector<std::byte> digits(4096, std::byte{'0'});
  EXPECT_TRUE(Search(kVideoPatterns, digits).empty());
}

TEST(SignatureSearch, CompareHitsOrdersByOffsetOnly) {
  EXPECT_EQ(CompareHits({5, 1}, {4, 100}), 1);
  EXPECT_EQ(CompareHits({4, 1}, {4, 100}), 0);
  EXPECT_EQ(CompareHits({-1, 1}, {4'294'967'296, 1}), -1);
  HitList hits{{300, 1}, {4'294'967'296, 2}, {7, 3}};
  SortHits(hits);
  EXPECT_EQ(Pairs(hits), (std::vector<std::pair<std::int64_t, std::int32_t>>{{7, 3}, {300, 1}, {4'294'967'296, 2}}));
}

}  // namespace
}  // namespace frambit
