#pragma once

#include <string>

#include "engine/session_state.h"
#include "sources/source_selection.h"

namespace frambit::cli {

// `frambit-cli targets`: the entries of the target menu one a line, as the
// window's menu shows them: the caption, then a tab and the text that
// choosing the entry writes into Source (the path to pass as --target).
// Separators print as "-", the image item as its caption alone.
void PrintTargets(RecoverySources& sources);

// --target PATH resolves as choosing it in the window does: the path, its
// exact length, and for a volume its file system.
void ResolveTarget(SessionState& state, const std::string& target, RecoverySources& sources);

}  // namespace frambit::cli
