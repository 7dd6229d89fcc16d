#pragma once

#include "engine/scan_session.h"
#include "engine/session_state.h"
#include "engine/session_view.h"

namespace frambit {

// "智能恢复": reads the sample's header list, scans the target for the chunk
// identifiers of the sample's streams and what may sit between them, follows
// each chain of chunk headers and writes every run behind the sample's
// header fitted to it, with an index (OpenDML for long runs). Checks its
// inputs and consumes the sample like the other scan sessions; a sample
// whose header list cannot be parsed is refused with "样本无法访问!" and the
// reason, before the scan.
ScanSummary RunSmartSession(SessionState& state, SessionView& view, const ScanOptions& options = {});

}  // namespace frambit
