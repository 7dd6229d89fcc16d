#include "engine/avi_header.h"

#include <fmt/format.h>

#include <string>

#include "engine/little_endian.h"
#include "engine/texts.h"
#include "platform/user_error.h"

namespace frambit {
namespace {

constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kListHeaderBytes = 12;
constexpr std::size_t kAvihBytes = 56;
constexpr std::size_t kAvihFlags = 12;
constexpr std::size_t kAvihTotalFrames = 16;
constexpr std::size_t kAvihSuggestedBuffer = 28;
constexpr std::size_t kStrhBytes = 48;  // through dwSampleSize; older writers stop there
constexpr std::size_t kStrhFlags = 8;
constexpr std::size_t kStrhLength = 32;
constexpr std::size_t kStrhSuggestedBuffer = 36;
constexpr std::size_t kStrhSampleSize = 44;
constexpr std::uint32_t kPaletteChanges = 0x00010000;
constexpr std::size_t kBitmapCompression = 16;

struct RiffChunk {
  std::size_t at;      // of the identifier
  std::uint32_t id;
  std::uint32_t size;  // of the data, from the size field
  std::size_t DataAt() const { return at + kChunkHeaderBytes; }
};

[[noreturn]] void Fail(const std::string& reason) { throw UserError(reason); }

// The chunks that tile bytes[from, to) exactly, pad bytes skipped. Every size
// is checked by subtraction against what is left of the list.
std::vector<RiffChunk> ChunksIn(std::span<const std::byte> bytes, std::size_t from, std::size_t to) {
  std::vector<RiffChunk> chunks;
  std::size_t at = from;
  while (at < to) {
    if (to - at < kChunkHeaderBytes) Fail(fmt::format(texts::kHeaderCutShort, at));
    const RiffChunk chunk{at, LoadLittleEndian32(bytes.data() + at), LoadLittleEndian32(bytes.data() + at + 4)};
    if (chunk.size > to - at - kChunkHeaderBytes) Fail(fmt::format(texts::kHeaderSizePastEnd, at));
    chunks.push_back(chunk);
    at = chunk.DataAt() + chunk.size;
    if (chunk.size % 2 == 1 && at < to) ++at;
  }
  return chunks;
}

bool IsList(std::span<const std::byte> bytes, const RiffChunk& chunk, std::uint32_t type) {
  return chunk.id == FourCc("LIST") && chunk.size >= 4 && LoadLittleEndian32(bytes.data() + chunk.DataAt()) == type;
}

std::vector<RiffChunk> ListContents(std::span<const std::byte> bytes, const RiffChunk& list) {
  return ChunksIn(bytes, list.DataAt() + 4, list.DataAt() + list.size);
}

AviStream ParseStream(std::span<const std::byte> bytes, const RiffChunk& strl, int number) {
  AviStream stream;
  stream.number = number;
  bool haveStrh = false;
  bool afterStrf = false;
  for (const RiffChunk& chunk : ListContents(bytes, strl)) {
    const std::byte* data = bytes.data() + chunk.DataAt();
    if (chunk.id == FourCc("strh") && !haveStrh) {
      if (chunk.size < kStrhBytes) Fail(fmt::format(texts::kHeaderCutShort, chunk.at));
      haveStrh = true;
      stream.type = LoadLittleEndian32(data);
      stream.handler = LoadLittleEndian32(data + 4);
      stream.paletteChanges = (LoadLittleEndian32(data + kStrhFlags) & kPaletteChanges) != 0;
      stream.lengthField = chunk.DataAt() + kStrhLength;
      stream.suggestedBufferField = chunk.DataAt() + kStrhSuggestedBuffer;
      stream.suggestedBufferBytes = LoadLittleEndian32(data + kStrhSuggestedBuffer);
      stream.sampleSize = LoadLittleEndian32(data + kStrhSampleSize);
    } else if (chunk.id == FourCc("strf")) {
      afterStrf = true;
      if (stream.type == FourCc("vids") && chunk.size >= kBitmapCompression + 4)
        stream.compression = LoadLittleEndian32(data + kBitmapCompression);
      else if (stream.type == FourCc("auds") && chunk.size >= 2)
        stream.compression = LoadLittleEndian16(data);
    } else if (chunk.id == FourCc("indx") || (chunk.id == FourCc("JUNK") && afterStrf && !stream.indexSpaceAt)) {
      stream.indexSpaceAt = chunk.at;
      stream.indexSpaceBytes = chunk.size;
    }
  }
  if (!haveStrh) Fail(fmt::format(texts::kHeaderStreamWithoutStrh, number));
  return stream;
}

}  // namespace

AviHeader ParseAviHeader(std::span<const std::byte> bytes) {
  // RIFF size AVI  [chunks ...] LIST size movi
  //                             ^ moviAt = size - 12: the header ends with "movi"
  if (bytes.size() < 2 * kListHeaderBytes || LoadLittleEndian32(bytes.data()) != FourCc("RIFF") ||
      LoadLittleEndian32(bytes.data() + 8) != FourCc("AVI "))
    Fail(texts::kHeaderNotRiffAvi);
  const std::size_t moviAt = bytes.size() - kListHeaderBytes;
  if (LoadLittleEndian32(bytes.data() + moviAt) != FourCc("LIST")) Fail(texts::kHeaderMoviMisplaced);
  AviHeader header;
  header.moviSizeField = moviAt + 4;
  bool haveHdrl = false;
  bool haveAvih = false;
  for (const RiffChunk& top : ChunksIn(bytes, kListHeaderBytes, moviAt)) {
    if (haveHdrl || !IsList(bytes, top, FourCc("hdrl"))) continue;
    haveHdrl = true;
    for (const RiffChunk& chunk : ListContents(bytes, top)) {
      if (chunk.id == FourCc("avih") && !haveAvih) {
        if (chunk.size < kAvihBytes) Fail(fmt::format(texts::kHeaderCutShort, chunk.at));
        haveAvih = true;
        header.flagsField = chunk.DataAt() + kAvihFlags;
        header.totalFramesField = chunk.DataAt() + kAvihTotalFrames;
        header.suggestedBufferField = chunk.DataAt() + kAvihSuggestedBuffer;
        header.suggestedBufferBytes = LoadLittleEndian32(bytes.data() + chunk.DataAt() + kAvihSuggestedBuffer);
      } else if (IsList(bytes, chunk, FourCc("strl"))) {
        if (header.streams.size() == kMaxAviStreams) {
          std::size_t count = 0;
          for (const RiffChunk& other : ListContents(bytes, top)) count += IsList(bytes, other, FourCc("strl"));
          Fail(fmt::format(texts::kHeaderTooManyStreams, count, kMaxAviStreams));
        }
        header.streams.push_back(ParseStream(bytes, chunk, static_cast<int>(header.streams.size())));
      } else if (IsList(bytes, chunk, FourCc("odml"))) {
        for (const RiffChunk& inner : ListContents(bytes, chunk))
          if (inner.id == FourCc("dmlh") && inner.size >= 4) header.odmlFramesField = inner.DataAt();
      }
    }
  }
  if (!haveHdrl) Fail(texts::kHeaderWithoutHdrl);
  if (!haveAvih) Fail(texts::kHeaderWithoutAvih);
  bool media = false;
  for (const AviStream& stream : header.streams) media |= stream.type == FourCc("vids") || stream.type == FourCc("auds");
  if (!media) Fail(texts::kHeaderWithoutMedia);
  return header;
}

}  // namespace frambit
