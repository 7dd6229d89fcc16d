#pragma once

#include <cstdint>
#include <string>

#include "engine/session_state.h"
#include "engine/session_view.h"
#include "platform/input_stream.h"

namespace frambit {

struct FragmentOutput {
  std::int32_t filesWritten = 0;
  std::int64_t bytesWritten = 0;    // headers included
  std::int64_t unreadableBytes = 0;  // target bytes written as zeros
};

// Joins the sorted hits into runs, each hit to the next when the next begins
// where its chunk ends (or one pad byte later), and writes every run as
// <outputFolder>/1.AVI, 2.AVI, ...: the sample header, then the target's bytes
// from the run's first hit up to the hit that closes it. Existing files of
// those names are replaced. The target is only ever read. Throws UserError
// when the header, the target or an output file fails; files finished before
// stay complete, and a file cut short is named in the message.
FragmentOutput WriteFragments(SessionState& state, SessionView& view, const std::string& sourcePath,
                              const std::string& outputFolder,
                              const platform::InputOpener& openInput = platform::OpenInput);

}  // namespace frambit
