#pragma once

#include <cstdint>
#include <vector>

#include "engine/session_state.h"
#include "engine/session_view.h"
#include "engine/u_defrag.h"
#include "platform/input_stream.h"

namespace frambit {

// Gathers the free runs of the target state.SourcePath and its cluster
// geometry into state. True when the list was built (also partly, when the
// map failed half-way); false, after telling the user why, when the target
// cannot be opened or holds no file system whose map can be read.
bool LoadFreeRuns(SessionState& state, SessionView& view, FreeRunList& runs,
                  const platform::InputOpener& openInput = platform::OpenInput);

// The hidden "仅扫描剩余空间" box never stays checked.
void bScanFreeClick(SessionView& view);

// A stretch of the target the block loop reads.
struct ByteRange {
  std::int64_t offsetBytes = 0;
  std::int64_t lengthBytes = 0;
  bool operator==(const ByteRange&) const = default;
};

// The target bytes of the free runs, cut to the target's length; runs that
// touch are joined, so the loop reads them as one stream.
std::vector<ByteRange> FreeByteRanges(const FreeRunList& runs, std::int64_t clusterBytes, std::int64_t sourceSize);

}  // namespace frambit
