#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "engine/fragment_writer.h"
#include "engine/session_state.h"
#include "engine/session_view.h"
#include "engine/signature_search.h"
#include "platform/input_stream.h"

namespace frambit {

enum class ScanCommand {
  Recover,    // "恢复": 00db, 00dc and 00__ chunks
  FullDisk,   // "全盘恢复": 00db and 00dc
  FreeSpace,  // "恢复剩余空间": 00db and 00dc in the free clusters of the target
};

PatternList PatternsFor(ScanCommand command);

struct ScanOptions {
  std::int32_t blockSize = 262144;  // the unit of progress, pause and stop
  platform::InputOpener openInput = platform::OpenInput;
};

struct ScanSummary {
  bool started = false;  // false when a missing input was reported instead
  bool stopped = false;  // ended early at the user's request
  std::int64_t bytesScanned = 0;  // target bytes read by the block loop
  std::int64_t hitCount = 0;
  std::int64_t unreadableBytes = 0;  // target bytes that were scanned as zeros
  FragmentOutput output;
  double scanSeconds = 0;
  double outputSeconds = 0;
};

// One scan session: checks that a target, an output folder and a sample are
// chosen, reads the target block by block for chunk headers, then writes the
// runs found, also when the scan was stopped or failed. Every session
// consumes the captured sample. A failure is thrown after the busy period
// has ended; unreadable target bytes are reported, not thrown.
ScanSummary RunScanSession(SessionState& state, SessionView& view, ScanCommand command,
                           const ScanOptions& options = {});

// Shows the first missing input (target, output folder, sample), if any.
bool InputsChosen(const SessionState& state, SessionView& view);

// Writes the runs of the sorted hits once the scan has ended.
using RunOutput = std::function<FragmentOutput()>;

// The body of every scan session once its inputs are chosen: the busy period,
// the block loop searching each block for every set (over the whole target,
// or only its free clusters), then writeRuns, also after a stop or a failed
// scan, and the sample consumed. Throws as RunScanSession does.
ScanSummary ScanThenWrite(SessionState& state, SessionView& view, std::span<const SignatureSet> signatureSets,
                          bool freeClustersOnly, const RunOutput& writeRuns, const ScanOptions& options);

ScanSummary RunBtnClick(SessionState& state, SessionView& view, const ScanOptions& options = {});
ScanSummary N9Click(SessionState& state, SessionView& view, const ScanOptions& options = {});
// Reads only the free clusters named by the target's allocation map; when
// no map can be read (the user is told why) the whole target.
ScanSummary N10Click(SessionState& state, SessionView& view, const ScanOptions& options = {});

// The pause question; anything but "go on" stops the scan before its next block.
void PauseBtnClick(SessionState& state, SessionView& view);
void StopBtnClick(SessionState& state, SessionView& view);

}  // namespace frambit
