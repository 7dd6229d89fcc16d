#include "engine/fragment_hit.h"

#include <algorithm>

namespace frambit {

int CompareHits(const FragmentHit& a, const FragmentHit& b) {
  if (a.offset > b.offset) return 1;
  if (a.offset < b.offset) return -1;
  return 0;
}

void SortHits(HitList& hits) {
  // A scan appends in ascending order already; the check makes that case free.
  const auto before = [](const FragmentHit& a, const FragmentHit& b) { return CompareHits(a, b) < 0; };
  if (!std::is_sorted(hits.begin(), hits.end(), before)) std::sort(hits.begin(), hits.end(), before);
}

}  // namespace frambit
