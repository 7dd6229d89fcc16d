#include "engine/signature_search.h"

#include <algorithm>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace frambit {
namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kIdentifierBytes = 4;

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// Decodes one entry; nullopt when it ends the list.
std::optional<std::vector<std::uint8_t>> DecodeEntry(const std::string& entry) {
  if (entry.empty() || entry.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < entry.size(); i += 2) {
    const auto high = HexDigit(entry[i]);
    const auto low = HexDigit(entry[i + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
  }
  return bytes;
}

std::uint32_t LoadLittleEndian32(const std::byte* at) {
  std::uint8_t b[4];
  std::memcpy(b, at, 4);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

// Records the header at block[index] when its identifier is one of ours and
// its size field is not 0. The caller guarantees eight readable bytes.
void AddHit(const SignatureSet& signatures, const std::byte* block, std::size_t index, std::int64_t base,
            HitList& hits) {
  const std::uint32_t identifier = LoadLittleEndian32(block + index);
  const auto words = signatures.Words();
  if (std::find(words.begin(), words.end(), identifier) == words.end()) return;
  const std::uint32_t size = LoadLittleEndian32(block + index + kIdentifierBytes);
  if (size == 0) return;
  hits.push_back({base + static_cast<std::int64_t>(index), static_cast<std::int32_t>(size + 8u)});
}

// The distinct first two bytes of the identifiers: a position is a candidate
// when it starts with one of them, and only candidates are looked at closely.
struct Prefix {
  std::uint8_t first;
  std::uint8_t second;
  bool operator==(const Prefix&) const = default;
};

std::vector<Prefix> PrefixesOf(const SignatureSet& signatures) {
  std::vector<Prefix> prefixes;
  for (const std::uint32_t word : signatures.Words()) {
    const Prefix prefix{static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)};
    if (std::find(prefixes.begin(), prefixes.end(), prefix) == prefixes.end()) prefixes.push_back(prefix);
  }
  return prefixes;
}

// Visits every position from `from` up to and including `last` one by one.
void FindPatternHitsScalar(const SignatureSet& signatures, const std::byte* block, std::size_t from,
                           std::size_t last, std::int64_t base, HitList& hits) {
  for (std::size_t i = from; i <= last; ++i) AddHit(signatures, block, i, base, hits);
}

#if defined(__SSE2__)
// One bit per position of the 16 at `at` that starts with the prefix; reads
// the bytes at..at+16.
inline unsigned PrefixMask16(const std::byte* at, __m128i first, __m128i second) {
  const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(next, second))));
}

// Candidates of 64 positions at `at` for one prefix; reads at..at+64.
inline std::uint64_t PrefixMask64(const std::byte* at, __m128i first, __m128i second) {
  return std::uint64_t{PrefixMask16(at, first, second)} | std::uint64_t{PrefixMask16(at + 16, first, second)} << 16 |
         std::uint64_t{PrefixMask16(at + 32, first, second)} << 32 |
         std::uint64_t{PrefixMask16(at + 48, first, second)} << 48;
}
#endif

}  // namespace

SignatureSet::SignatureSet(const PatternList& patterns) {
  for (const std::string& entry : patterns) {
    const auto bytes = DecodeEntry(entry);
    if (!bytes) break;
    if (bytes->size() != kIdentifierBytes) continue;
    const std::uint32_t word = LoadLittleEndian32(reinterpret_cast<const std::byte*>(bytes->data()));
    if (std::find(words_.begin(), words_.end(), word) == words_.end()) words_.push_back(word);
  }
}

// Finds the occurrences of all identifiers in one pass over the block and
// hands each to AddHit.
void SearchBlock(const SignatureSet& signatures, std::span<const std::byte> block, std::int64_t base,
                 HitList& hits) {
  if (signatures.Empty() || block.size() < kHeaderBytes) return;
  const std::byte* data = block.data();
  const std::size_t last = block.size() - kHeaderBytes;  // last index where a whole header fits
  std::size_t i = 0;
#if defined(__SSE2__)
  constexpr std::size_t kStride = 64;
  const auto prefixes = PrefixesOf(signatures);
  struct VectorPrefix {
    __m128i first, second;
  };
  std::vector<VectorPrefix> vectors;
  for (const Prefix& p : prefixes)
    vectors.push_back({_mm_set1_epi8(static_cast<char>(p.first)), _mm_set1_epi8(static_cast<char>(p.second))});
  // A stride reads 65 bytes; a candidate in it needs 8. Stop while both fit.
  for (; i + kStride + kHeaderBytes <= block.size(); i += kStride) {
    std::uint64_t candidates = 0;
    for (const VectorPrefix& v : vectors) candidates |= PrefixMask64(data + i, v.first, v.second);
    while (candidates != 0) {
      AddHit(signatures, data, i + static_cast<std::size_t>(__builtin_ctzll(candidates)), base, hits);
      candidates &= candidates - 1;
    }
  }
#endif
  if (i <= last) FindPatternHitsScalar(signatures, data, i, last, base, hits);
}

}  // namespace frambit
