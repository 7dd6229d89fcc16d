// SSE2 is part of every x86-64 processor.

#include <emmintrin.h>

#include "engine/signature_search_kernel.h"

namespace frambit::detail {
namespace {

struct Sse2 {
  using V = __m128i;
  static constexpr std::size_t kWidth = 16;
  static V Load(const std::byte* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
  static V Splat(std::uint8_t value) { return _mm_set1_epi8(static_cast<char>(value)); }
  static V Equal(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static std::uint32_t Mask(V v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
};

}  // namespace

std::size_t SearchVectorSse2(const SignatureSet& signatures, const CandidateFilter& filter,
                             std::span<const std::byte> block, std::int64_t base, HitList& hits) {
  return SearchVector<Sse2>(signatures, filter, block, base, hits);
}

}  // namespace frambit::detail
