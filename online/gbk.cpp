#include "online/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace frambit {
namespace {

// One iconv conversion descriptor for the length of a call.
class Converter {
 public:
  Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert GBK");
  }
  ~Converter() { iconv_close(descriptor_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of input. At a sequence the target cannot hold, or that is
  // invalid in the source, appends replacement and skips skipBytes(rest)
  // input bytes.
  template <typename Skip>
  QByteArray Convert(const QByteArray& input, const QByteArray& replacement, Skip skipBytes) {
    QByteArray output;
    char buffer[4096];
    char* in = const_cast<char*>(input.constData());
    std::size_t inLeft = static_cast<std::size_t>(input.size());
    while (inLeft > 0) {
      char* out = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t result = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
      output.append(buffer, out - buffer);
      if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut short at the end).
      output.append(replacement);
      const std::size_t skip = std::min(inLeft, skipBytes(in, inLeft));
      in += skip;
      inLeft -= skip;
      iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    }
    return output;
  }

 private:
  iconv_t descriptor_;
};

// The length of the UTF-8 sequence that starts at lead; QString's UTF-8 is
// always well formed.
std::size_t Utf8SequenceLength(const char* lead, std::size_t) {
  const auto byte = static_cast<unsigned char>(*lead);
  if (byte < 0x80) return 1;
  if (byte < 0xE0) return 2;
  if (byte < 0xF0) return 3;
  return 4;
}

}  // namespace

QByteArray EncodeGbk(const QString& text) {
  return Converter("GBK", "UTF-8").Convert(text.toUtf8(), "?", Utf8SequenceLength);
}

QString DecodeGbk(const QByteArray& bytes) {
  const QByteArray utf8 =
      Converter("UTF-8", "GBK").Convert(bytes, "\xEF\xBF\xBD", [](const char*, std::size_t) { return std::size_t{1}; });
  return QString::fromUtf8(utf8);
}

}  // namespace frambit
