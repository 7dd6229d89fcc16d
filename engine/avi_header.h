#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace frambit {

// One stream of a sample, as its strl list declares it. The *Field members
// are byte offsets into the header where a value the fitted header changes
// lives.
struct AviStream {
  int number = 0;                     // its place among the strl lists: the "00" of 00dc
  std::uint32_t type = 0;             // strh fccType: vids, auds, txts, ...
  std::uint32_t handler = 0;          // strh fccHandler
  std::uint32_t compression = 0;      // vids: the strf biCompression; auds: the wFormatTag
  std::uint32_t sampleSize = 0;       // strh dwSampleSize: 0 when every chunk is one sample
  std::uint32_t suggestedBufferBytes = 0;  // strh dwSuggestedBufferSize
  std::size_t suggestedBufferField = 0;
  bool paletteChanges = false;        // strh AVISF_VIDEO_PALCHANGES: ##pc chunks may occur
  std::size_t lengthField = 0;        // strh dwLength
  // An indx chunk, or the JUNK chunk that a writer reserved in its place
  // behind strf: where a super index can go. Offset of the chunk header and
  // its data size.
  std::optional<std::size_t> indexSpaceAt;
  std::uint32_t indexSpaceBytes = 0;
};

// The layout of a sample's header list: the bytes of an AVI from its start
// through the "movi" of its movie list.
struct AviHeader {
  std::vector<AviStream> streams;
  std::size_t flagsField = 0;                    // avih dwFlags
  std::size_t totalFramesField = 0;              // avih dwTotalFrames
  std::uint32_t suggestedBufferBytes = 0;        // avih dwSuggestedBufferSize
  std::size_t suggestedBufferField = 0;
  std::optional<std::size_t> odmlFramesField;    // dmlh dwTotalFrames
  std::size_t moviSizeField = 0;                 // the size of "LIST ... movi"
};

// Streams beyond this have no two-digit chunk identifier.
inline constexpr std::size_t kMaxAviStreams = 100;

// Parses the header with every size checked against the bytes that are
// there. Throws UserError with the reason (in the user's language) when the
// list is cut short, a size points past its list, avih or a stream's strh is
// missing, there are more than kMaxAviStreams streams or none of video or
// sound, or the movie list does not end the header.
AviHeader ParseAviHeader(std::span<const std::byte> header);

}  // namespace frambit
