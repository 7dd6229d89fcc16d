#include "engine/run_output.h"

#include <fmt/format.h>

#include "engine/sector_reader.h"
#include "engine/texts.h"
#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit {
namespace {
constexpr std::int32_t kPieceBytes = 262144;
}

std::vector<std::byte> ReadWholeFile(const std::string& path, const platform::InputOpener& openInput) {
  const auto stream = openInput(path);
  std::vector<std::byte> bytes(static_cast<std::size_t>(stream->Size()));
  const platform::ReadOutcome got = stream->ReadAt(0, bytes);
  if (got.errorCode != 0) throw UserError(platform::CannotOpenText(path, got.errorCode));
  bytes.resize(got.bytesRead);
  return bytes;
}

platform::OutputFile OpenNumberedOutput(const std::string& outputFolder, std::int32_t number,
                                        const std::string& sourcePath) {
  const std::string name = outputFolder + "/" + std::to_string(number) + ".AVI";
  if (platform::SameFile(name, sourcePath)) throw UserError(fmt::format(texts::kOutputIsTarget, name, sourcePath));
  return platform::OutputFile(name);
}

void CopyTargetRange(SessionView& view, platform::InputStream& source, std::int64_t start, std::int64_t length,
                     platform::OutputFile& file, std::vector<std::byte>& scratch, std::int64_t& unreadableBytes,
                     const PieceObserver& observe) {
  std::int64_t written = 0;
  std::int32_t piece = kPieceBytes;
  while (written < length) {
    view.ProcessMessages();
    if (written + piece > length) piece = static_cast<std::int32_t>(length - written);
    const auto bytes = SectorAlignedRead(source, piece, start + written, scratch, unreadableBytes);
    file.Write(bytes);
    if (observe) observe(start + written, bytes);
    written += piece;
  }
}

}  // namespace frambit
