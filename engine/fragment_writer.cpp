#include "engine/fragment_writer.h"

#include <vector>

#include "engine/run_output.h"

namespace frambit {
namespace {

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
    const auto source = openInput_(sourcePath_);
    platform::OutputFile file = OpenNumberedOutput(outputFolder_, output_.filesWritten, sourcePath_);
    file.Write(header_);
    CopyTargetRange(view_, *source, run.start, run.length, file, scratch_, output_.unreadableBytes);
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
