// Built with -mavx2; called only after the processor said it has AVX2.

#include <immintrin.h>

#include "engine/signature_search_kernel.h"

namespace frambit::detail {
namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr std::size_t kWidth = 32;
  static V Load(const std::byte* at) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)); }
  static V Splat(std::uint8_t value) { return _mm256_set1_epi8(static_cast<char>(value)); }
  static V Equal(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static std::uint32_t Mask(V v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
};

}  // namespace

std::size_t SearchVectorAvx2(const SignatureSet& signatures, const CandidateFilter& filter,
                             std::span<const std::byte> block, std::int64_t base, HitList& hits) {
  return SearchVector<Avx2>(signatures, filter, block, base, hits);
}

}  // namespace frambit::detail
