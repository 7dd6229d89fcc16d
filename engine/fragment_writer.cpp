#include "engine/fragment_writer.h"

#include <fmt/format.h>

#include <vector>

#include "engine/salvaging_read.h"
#include "engine/sector_reader.h"
#include "engine/texts.h"
#include "platform/output_file.h"
#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit {
namespace {

constexpr std::int32_t kPieceBytes = 262144;

std::vector<std::byte> ReadWholeFile(const std::string& path, const platform::InputOpener& openInput) {
  const auto stream = openInput(path);
  std::vector<std::byte> bytes(static_cast<std::size_t>(stream->Size()));
  const platform::ReadOutcome got = stream->ReadAt(0, bytes);
  if (got.errorCode != 0) throw UserError(platform::CannotOpenText(path, got.errorCode));
  bytes.resize(got.bytesRead);
  return bytes;
}

struct Run {
  std::int64_t start;
  std::int64_t length;
};

class RunWriter {
 public:
  RunWriter(SessionView& view, const std::string& sourcePath, const std::string& outputFolder,
            const std::vector<std::byte>& header, const platform::InputOpener& openInput)
      : view_(view), sourcePath_(sourcePath), outputFolder_(outputFolder), header_(header), openInput_(openInput) {}

  void Write(const Run& run) {
    ++output_.filesWritten;
    const std::string name = outputFolder_ + "/" + std::to_string(output_.filesWritten) + ".AVI";
    // Truncating the output file must never destroy the medium we rescue.
    if (platform::SameFile(name, sourcePath_)) throw UserError(fmt::format(texts::kOutputIsTarget, name, sourcePath_));
    const auto source = openInput_(sourcePath_);
    platform::OutputFile file(name);
    file.Write(header_);
    std::int64_t written = 0;
    std::int32_t piece = kPieceBytes;
    while (written < run.length) {
      view_.ProcessMessages();
      if (written + piece > run.length) piece = static_cast<std::int32_t>(run.length - written);
      file.Write(SectorAlignedRead(*source, piece, run.start + written, scratch_, output_.unreadableBytes));
      written += piece;
    }
    file.Close();
    output_.bytesWritten += file.BytesWritten();
  }

  const FragmentOutput& Output() const { return output_; }

 private:
  SessionView& view_;
  const std::string& sourcePath_;
  const std::string& outputFolder_;
  const std::vector<std::byte>& header_;
  const platform::InputOpener& openInput_;
  std::vector<std::byte> scratch_;  // one aligned piece, reused
  FragmentOutput output_;
};

}  // namespace

FragmentOutput WriteFragments(SessionState& state, SessionView& view, const std::string& sourcePath,
                              const std::string& outputFolder, const platform::InputOpener& openInput) {
  const HitList& hits = *state.Hits;
  if (hits.empty()) return {};
  view.SetProgressRange(0, static_cast<std::int64_t>(hits.size()) - 1);
  const std::vector<std::byte> header = ReadWholeFile(state.SampleHeaderPath, openInput);
  RunWriter writer(view, sourcePath, outputFolder, header, openInput);
  bool newRun = true;
  Run run{0, 0};
  for (std::size_t i = 0; i + 1 < hits.size(); ++i) {
    view.ProcessMessages();
    view.SetProgress(static_cast<std::int64_t>(i));
    if (newRun) run = {hits[i].offset, 0};
    const std::int64_t gap = hits[i + 1].offset - hits[i].offset;
    const auto length = static_cast<std::uint32_t>(hits[i].length);
    // One pad byte may follow a chunk whose data has an odd size.
    const bool contiguous = gap == std::int64_t{length} || gap == std::int64_t{static_cast<std::uint32_t>(length + 1)};
    if (contiguous) {
      run.length += gap;
      newRun = false;
      continue;
    }
    newRun = true;
    if (run.length > 0) writer.Write(run);
  }
  if (!newRun && run.length > 0) writer.Write(run);
  return writer.Output();
}

}  // namespace frambit
