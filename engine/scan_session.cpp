#include "engine/scan_session.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "engine/busy_cycle.h"
#include "engine/free_space_session.h"
#include "engine/salvaging_read.h"
#include "engine/sample_capture.h"
#include "engine/texts.h"

namespace frambit {
namespace {

// A chunk header is 8 bytes: one that begins in the last 7 bytes of a block
// is searched again together with the next block.
constexpr std::size_t kCarryBytes = 7;
constexpr std::int64_t kGaugeUnitBytes = 1024;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool InputsChosen(const SessionState& state, SessionView& view) {
  if (view.SourceText().empty()) {
    view.ShowMessage(texts::kNoTarget);
  } else if (view.OutputFolderText() == texts::kOutputFolderPlaceholder) {
    view.ShowMessage(texts::kNoOutputFolder);
  } else if (state.SampleHeaderPath.empty()) {
    view.ShowMessage(texts::kNoSample);
  } else {
    return true;
  }
  return false;
}

namespace {

// What the session reads: the whole target, or for the free-space command
// only the free clusters, when the target's allocation map could be read
// through to its end. A map that failed half-way is not trusted.
std::vector<ByteRange> RangesToRead(SessionState& state, SessionView& view, bool freeClustersOnly,
                                    const ScanOptions& options) {
  const std::vector<ByteRange> whole{{0, state.SourceSize}};
  if (!freeClustersOnly) return whole;
  FreeRunList runs;
  if (!LoadFreeRuns(state, view, runs, options.openInput) || !runs.complete) return whole;
  return FreeByteRanges(runs, std::int64_t{state.SectorsPerCluster} * state.BytesPerSector, state.SourceSize);
}

// The block loop. Within a range blocks follow one another without gap or
// overlap; each is searched behind the last 7 bytes of the one before it, so
// a header across a block edge is found. Ranges never touch (touching ones
// are joined), so nothing is carried from one range into the next.
//
//   window:  [carry | block k ..................................]
//            ^ target offset (range start + k * blockSize - carry)
void ScanBlocks(SessionState& state, SessionView& view, std::span<const SignatureSet> signatureSets,
                bool freeClustersOnly, const ScanOptions& options, ScanSummary& summary) {
  const auto source = options.openInput(state.SourcePath);
  source->AdviseSequential();
  const std::vector<ByteRange> ranges = RangesToRead(state, view, freeClustersOnly, options);
  std::int64_t bytesToRead = 0;
  for (const ByteRange& range : ranges) bytesToRead += range.lengthBytes;
  view.SetProgressRange(0, bytesToRead / kGaugeUnitBytes);
  const auto blockCapacity = static_cast<std::size_t>(options.blockSize);
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kCarryBytes + blockCapacity);
  std::byte* const blockStart = buffer.get() + kCarryBytes;
  for (const ByteRange& range : ranges) {
    std::size_t carried = 0;
    const std::int64_t rangeEnd = range.offsetBytes + range.lengthBytes;
    for (std::int64_t position = range.offsetBytes; position < rangeEnd;) {
      if (state.StopFlag) {
        summary.stopped = true;
        return;
      }
      view.ProcessMessages();
      view.SetProgress(summary.bytesScanned / kGaugeUnitBytes);
      const auto blockBytes = static_cast<std::size_t>(std::min<std::int64_t>(options.blockSize, rangeEnd - position));
      summary.unreadableBytes += ReadSalvaging(*source, position, {blockStart, blockBytes});
      const std::span<const std::byte> window(blockStart - carried, carried + blockBytes);
      for (const SignatureSet& signatures : signatureSets)
        SearchBlock(signatures, window, position - static_cast<std::int64_t>(carried), *state.Hits);
      view.ShowFragmentCount(static_cast<std::int64_t>(state.Hits->size()));
      position += static_cast<std::int64_t>(blockBytes);
      summary.bytesScanned += static_cast<std::int64_t>(blockBytes);
      carried = std::min(kCarryBytes, window.size());
      std::memmove(blockStart - carried, window.data() + window.size() - carried, carried);
    }
  }
}

}  // namespace

PatternList PatternsFor(ScanCommand command) {
  if (command == ScanCommand::Recover) return {"30306462", "30306463", "30305F5F"};
  return {"30306462", "30306463"};
}

ScanSummary ScanThenWrite(SessionState& state, SessionView& view, std::span<const SignatureSet> signatureSets,
                          bool freeClustersOnly, const RunOutput& writeRuns, const ScanOptions& options) {
  ScanSummary summary;
  summary.started = true;
  BeginBusy(state, view);
  state.StopFlag = false;
  std::exception_ptr failure;
  const auto scanStart = std::chrono::steady_clock::now();
  try {
    ScanBlocks(state, view, signatureSets, freeClustersOnly, options, summary);
  } catch (...) {
    failure = std::current_exception();
  }
  summary.scanSeconds = SecondsSince(scanStart);
  summary.hitCount = static_cast<std::int64_t>(state.Hits->size());
  // Whatever was found is written, also after a stop or a failed scan.
  const auto outputStart = std::chrono::steady_clock::now();
  try {
    SortHits(*state.Hits);
    summary.output = writeRuns();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  summary.outputSeconds = SecondsSince(outputStart);
  view.SetProgress(0);
  EndBusy(state, view);
  ReleaseSampleHeader(state);
  if (summary.unreadableBytes > 0) view.ShowMessage(fmt::format(texts::kUnreadableBytes, summary.unreadableBytes));
  if (failure) std::rethrow_exception(failure);
  return summary;
}

ScanSummary RunScanSession(SessionState& state, SessionView& view, ScanCommand command,
                           const ScanOptions& options) {
  if (!InputsChosen(state, view)) return {};
  const SignatureSet signatures(PatternsFor(command));
  return ScanThenWrite(
      state, view, {&signatures, 1}, command == ScanCommand::FreeSpace,
      [&] { return WriteFragments(state, view, state.SourcePath, view.OutputFolderText(), options.openInput); },
      options);
}

ScanSummary RunBtnClick(SessionState& state, SessionView& view, const ScanOptions& options) {
  return RunScanSession(state, view, ScanCommand::Recover, options);
}

ScanSummary N9Click(SessionState& state, SessionView& view, const ScanOptions& options) {
  return RunScanSession(state, view, ScanCommand::FullDisk, options);
}

ScanSummary N10Click(SessionState& state, SessionView& view, const ScanOptions& options) {
  return RunScanSession(state, view, ScanCommand::FreeSpace, options);
}

void PauseBtnClick(SessionState& state, SessionView& view) {
  if (!view.AskContinue()) state.StopFlag = true;
}

void StopBtnClick(SessionState& state, SessionView& view) {
  view.ClearScanFreeOnly();
  state.StopFlag = true;
  view.SetProgress(0);
}

}  // namespace frambit
