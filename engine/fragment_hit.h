#pragma once

#include <cstdint>
#include <deque>

namespace frambit {

// One chunk header found by a scan.
struct FragmentHit {
  std::int64_t offset;  // absolute byte offset of the chunk identifier in the target
  std::int32_t length;  // the chunk's size field + 8, wrapping at 32 bits; no pad byte
  // The identifier's four bytes as a little-endian word; it fills what would
  // be padding, so the hit stays 16 bytes.
  std::uint32_t identifier = 0;
};
static_assert(sizeof(FragmentHit) == 16, "a whole disk can hold hundreds of millions of hits");

// The hits of the running scan. Filled block by block, sorted once by offset
// before the fragment output reads it. A deque grows in small pages, so a
// whole disk's hundreds of millions of hits cost their 16 bytes each and
// never a reallocation that holds the list twice.
using HitList = std::deque<FragmentHit>;

// -1, 0 or 1 as a's offset is smaller than, equal to or greater than b's.
int CompareHits(const FragmentHit& a, const FragmentHit& b);

// Sorts strictly ascending by offset.
void SortHits(HitList& hits);

}  // namespace frambit
