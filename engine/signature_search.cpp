#include "engine/signature_search.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/little_endian.h"
#include "engine/signature_search_kernel.h"

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

// Visits every position from `from` up to and including `last` one by one.
void SearchEachPosition(const SignatureSet& signatures, const std::byte* block, std::size_t from, std::size_t last,
                        std::int64_t base, HitList& hits) {
  for (std::size_t i = from; i <= last; ++i) detail::AddHit(signatures, block, i, base, hits);
}

#if FRAMBIT_X86_64_KERNELS
bool ProcessorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

SignatureSet::SignatureSet(const PatternList& patterns, EmptyChunks empty) : empty_(empty) {
  for (const std::string& entry : patterns) {
    const auto bytes = DecodeEntry(entry);
    if (!bytes) break;
    if (bytes->size() != kIdentifierBytes) continue;
    const std::uint32_t word = LoadLittleEndian32(reinterpret_cast<const std::byte*>(bytes->data()));
    if (std::find(words_.begin(), words_.end(), word) == words_.end()) words_.push_back(word);
  }
}

namespace detail {

void AddHit(const SignatureSet& signatures, const std::byte* block, std::size_t index, std::int64_t base,
            HitList& hits) {
  const std::uint32_t identifier = LoadLittleEndian32(block + index);
  const auto words = signatures.Words();
  if (std::find(words.begin(), words.end(), identifier) == words.end()) return;
  const std::uint32_t size = LoadLittleEndian32(block + index + kIdentifierBytes);
  if (size == 0 && !signatures.KeepsEmptyChunks()) return;
  hits.push_back({base + static_cast<std::int64_t>(index), static_cast<std::int32_t>(size + 8u), identifier});
}

std::optional<CandidateFilter> FilterOf(const SignatureSet& signatures) {
  CandidateFilter filter;
  std::array<std::size_t, kFilterBytes> counts{};
  for (const std::uint32_t word : signatures.Words()) {
    for (std::size_t p = 0; p < kFilterBytes; ++p) {
      const auto value = static_cast<std::uint8_t>(word >> (8 * p));
      auto& bytes = filter.bytes[p];
      if (counts[p] > 0 && std::find(bytes.begin(), bytes.begin() + counts[p], value) != bytes.begin() + counts[p])
        continue;
      if (counts[p] == kAlternatives) return std::nullopt;
      bytes[counts[p]++] = value;
    }
  }
  for (std::size_t p = 0; p < kFilterBytes; ++p)
    if (counts[p] == 1) filter.bytes[p][1] = filter.bytes[p][0];
  return filter;
}

}  // namespace detail

std::string PatternOf(std::uint32_t identifier) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (int shift = 0; shift < 32; shift += 8) {
    const auto value = static_cast<std::uint8_t>(identifier >> shift);
    hex += kDigits[value >> 4];
    hex += kDigits[value & 15];
  }
  return hex;
}

std::vector<SignatureSet> SplitForVectorSearch(const PatternList& patterns, EmptyChunks empty) {
  // The valid entries one by one, decoded by the set itself.
  const SignatureSet all(patterns);
  std::vector<std::string> entries;
  for (const std::uint32_t word : all.Words()) entries.push_back(PatternOf(word));
  // Greedy: each identifier joins the first group whose filter still fits.
  std::vector<PatternList> groups;
  for (const std::string& entry : entries) {
    bool placed = false;
    for (PatternList& group : groups) {
      group.push_back(entry);
      if (detail::FilterOf(SignatureSet(group))) {
        placed = true;
        break;
      }
      group.pop_back();
    }
    if (!placed) groups.push_back({entry});
  }
  std::vector<SignatureSet> sets;
  for (const PatternList& group : groups) sets.emplace_back(group, empty);
  return sets;
}

// Finds the occurrences of all identifiers in one pass over the block and
// hands each to AddHit.
void SearchBlock(const SignatureSet& signatures, std::span<const std::byte> block, std::int64_t base,
                 HitList& hits) {
  if (signatures.Empty() || block.size() < kHeaderBytes) return;
  const std::size_t last = block.size() - kHeaderBytes;  // last index where a whole header fits
  std::size_t i = 0;
#if FRAMBIT_X86_64_KERNELS
  // The filter is rebuilt for every block: a few dozen instructions against
  // a quarter of a megabyte searched.
  if (const auto filter = detail::FilterOf(signatures))
    i = ProcessorHasAvx2() ? detail::SearchVectorAvx2(signatures, *filter, block, base, hits)
                           : detail::SearchVectorSse2(signatures, *filter, block, base, hits);
#endif
  if (i <= last) SearchEachPosition(signatures, block.data(), i, last, base, hits);
}

}  // namespace frambit
