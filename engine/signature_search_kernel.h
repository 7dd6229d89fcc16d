#pragma once

// The vector search shared by the SSE2 and the AVX2 translation units.
// Everything here has internal linkage on purpose: each unit gets its own
// copy compiled for its instruction set, so the linker can never hand an AVX2
// body to a processor without AVX2.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/signature_search.h"

namespace frambit::detail {

// The first kFilterBytes bytes of the identifiers, place by place: a
// position of the block is a candidate when each of its first bytes equals
// one of the two bytes kept for that place. Three bytes keep candidates rare
// even in text full of "00" (00db, 00dc and 00__ give '0', '0', 'd' or '_');
// the full check is AddHit's. The sizes are fixed so that the compiler keeps
// the whole filter in registers.
inline constexpr std::size_t kFilterBytes = 3;
inline constexpr std::size_t kAlternatives = 2;

struct CandidateFilter {
  // Where a place has a single byte, both entries hold it.
  std::array<std::array<std::uint8_t, kAlternatives>, kFilterBytes> bytes{};
};

// nullopt when the identifiers differ at one of the first places in more
// than two ways; the search then goes byte by byte.
std::optional<CandidateFilter> FilterOf(const SignatureSet& signatures);

// Records the header at block[index] when it is one of ours; the caller
// guarantees eight readable bytes.
void AddHit(const SignatureSet& signatures, const std::byte* block, std::size_t index, std::int64_t base,
            HitList& hits);

// Searches positions from 0 while a whole vector stride and a header fit;
// returns the first position it did not look at.
std::size_t SearchVectorSse2(const SignatureSet& signatures, const CandidateFilter& filter,
                             std::span<const std::byte> block, std::int64_t base, HitList& hits);
std::size_t SearchVectorAvx2(const SignatureSet& signatures, const CandidateFilter& filter,
                             std::span<const std::byte> block, std::int64_t base, HitList& hits);

namespace {

// Simd supplies: V, kWidth, Load(const std::byte*), Splat(uint8_t),
// Equal(V, V), Or(V, V), Mask(V) -> one bit per byte.
//
// For each stride of 64 positions the search builds a 64-bit mask per filter
// place: bit j of mask p says that byte i + j is one of place p's bytes. A
// position is a candidate when mask 0 has bit j, mask 1 bit j + 1 and mask 2
// bit j + 2; the bits past the stride come from the next one:
//
//   candidates = m0 & (m1 >> 1 | next.m1 << 63) & (m2 >> 2 | next.m2 << 62)
//
// The first two places alone already rule out nearly every stride of real
// data, so the third mask is only built for strides that pass them.
template <class Simd>
std::size_t SearchVector(const SignatureSet& signatures, const CandidateFilter& filter,
                         std::span<const std::byte> block, std::int64_t base, HitList& hits) {
  using V = typename Simd::V;
  constexpr std::size_t kStride = 64;
  constexpr std::size_t kVectors = kStride / Simd::kWidth;
  V splat[kFilterBytes][kAlternatives];
  bool single[kFilterBytes];
  for (std::size_t p = 0; p < kFilterBytes; ++p) {
    for (std::size_t a = 0; a < kAlternatives; ++a) splat[p][a] = Simd::Splat(filter.bytes[p][a]);
    single[p] = filter.bytes[p][0] == filter.bytes[p][1];
  }
  // "00" in 00dc: both places look for the same byte and share one mask.
  const bool secondAsFirst = filter.bytes[1] == filter.bytes[0];

  const auto placeMask = [&](const std::byte* at, std::size_t p) {
    std::uint64_t mask = 0;
    for (std::size_t v = 0; v < kVectors; ++v) {
      const V loaded = Simd::Load(at + v * Simd::kWidth);
      V match = Simd::Equal(loaded, splat[p][0]);
      if (!single[p]) match = Simd::Or(match, Simd::Equal(loaded, splat[p][1]));
      mask |= std::uint64_t{Simd::Mask(match)} << (v * Simd::kWidth);
    }
    return mask;
  };

  const std::byte* data = block.data();
  std::size_t i = 0;
  if (block.size() < 2 * kStride) return i;
  std::uint64_t first = placeMask(data, 0);
  std::uint64_t second = secondAsFirst ? first : placeMask(data, 1);
  // The next stride must be readable too; a candidate then always has its
  // eight header bytes inside the block.
  for (; i + 2 * kStride <= block.size(); i += kStride) {
    const std::byte* next = data + i + kStride;
    const std::uint64_t nextFirst = placeMask(next, 0);
    const std::uint64_t nextSecond = secondAsFirst ? nextFirst : placeMask(next, 1);
    std::uint64_t found = first & (second >> 1 | nextSecond << 63);
    if (found != 0) {
      const std::uint64_t third = placeMask(data + i, 2);
      const std::uint64_t nextThird = found >> 62 ? placeMask(next, 2) : 0;
      found &= third >> 2 | nextThird << 62;
      while (found != 0) {
        AddHit(signatures, data, i + static_cast<std::size_t>(__builtin_ctzll(found)), base, hits);
        found &= found - 1;
      }
    }
    first = nextFirst;
    second = nextSecond;
  }
  return i;
}

}  // namespace
}  // namespace frambit::detail
