#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/session_state.h"
#include "engine/session_view.h"
#include "platform/input_stream.h"

namespace frambit {

// The number of bytes of the sample from its start through its first
// "movi" tag, wherever in the file that tag lies. Throws UserError naming
// the file when it cannot be read, does not begin with a RIFF AVI header, or
// holds no "movi".
std::int64_t FindMoviEnd(const std::string& samplePath, const platform::InputOpener& openInput = platform::OpenInput);

// Copies the first count bytes of the sample to "<sample file name>.bin" in
// the cache folder and returns that file's path. Throws UserError.
std::string CacheSampleHeader(const std::string& samplePath, std::int64_t count,
                              const platform::InputOpener& openInput = platform::OpenInput);

// Deletes the captured header, and its folder when nothing else is left in
// it, and forgets it: every scan session consumes its sample.
void ReleaseSampleHeader(SessionState& state);

// Asks the user for a sample file; nullopt when the user cancels.
using SampleChooser = std::function<std::optional<std::string>()>;

// Inside a busy period: lets the user choose a sample and captures its
// header into SampleHeaderPath. Every failure is shown as "样本无法访问!"
// with the reason below it and leaves SampleHeaderPath as it was.
void BtnSelectAllClick(SessionState& state, SessionView& view, const SampleChooser& chooseSample,
                       const platform::InputOpener& openInput = platform::OpenInput);

}  // namespace frambit
