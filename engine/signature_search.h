#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/fragment_hit.h"

namespace frambit {

// Chunk identifiers written as hexadecimal text, two digits a byte, high
// digit first, either case: "30306463" is 00dc.
using PatternList = std::vector<std::string>;

// Whether a header whose size field is 0 counts as a hit. The carving
// commands skip them; a movie list legitimately holds empty chunks (dropped
// frames) that a chain must step over.
enum class EmptyChunks { Skip, Keep };

// A pattern list decoded once for a whole scan.
class SignatureSet {
 public:
  // Takes the entries in order up to the first that is empty, has an odd
  // number of digits or a character that is not a hex digit; that entry and
  // all after it are ignored. Entries that do not decode to four bytes (a
  // chunk identifier's size) are ignored too, and so are repeated ones.
  explicit SignatureSet(const PatternList& patterns, EmptyChunks empty = EmptyChunks::Skip);

  bool Empty() const { return words_.empty(); }
  bool KeepsEmptyChunks() const { return empty_ == EmptyChunks::Keep; }
  // The identifiers as the little-endian words that their four bytes form.
  std::span<const std::uint32_t> Words() const { return words_; }

 private:
  std::vector<std::uint32_t> words_;
  EmptyChunks empty_;
};

// The pattern of one identifier given as its little-endian word.
std::string PatternOf(std::uint32_t identifier);

// Splits patterns into sets that the vector search takes in one pass each
// (it compares the first bytes with at most two values a place), so a long
// list of identifiers costs a few vector passes over a block instead of a
// byte-by-byte search. The sets hold every valid pattern of the list once.
std::vector<SignatureSet> SplitForVectorSearch(const PatternList& patterns, EmptyChunks empty);

// Appends one hit, in ascending offset order, for every chunk header that
// lies wholly inside block: an identifier of the set followed by a 32-bit
// little-endian size field, which must be non-zero unless the set keeps
// empty chunks. base is the target offset of block[0].
// Headers that begin in the last seven bytes are left for the caller to
// present again with the bytes that follow them.
void SearchBlock(const SignatureSet& signatures, std::span<const std::byte> block, std::int64_t base,
                 HitList& hits);

}  // namespace frambit
