#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/session_view.h"
#include "platform/input_stream.h"
#include "platform/output_file.h"

namespace frambit {

// The whole of a small file, such as a captured sample header. Throws
// UserError "Cannot open file ..." when it cannot be read.
std::vector<std::byte> ReadWholeFile(const std::string& path, const platform::InputOpener& openInput);

// <outputFolder>/<number>.AVI, created or cut to length 0. Throws UserError
// when that name is the target itself: truncating it would destroy the
// medium we rescue.
platform::OutputFile OpenNumberedOutput(const std::string& outputFolder, std::int32_t number,
                                        const std::string& sourcePath);

// Hands each piece of the target copied, with its target offset.
using PieceObserver = std::function<void(std::int64_t offset, std::span<const std::byte> piece)>;

// Copies the target's bytes [start, start + length) into file in pieces of
// one reused sector-aligned buffer (scratch), letting the face handle its
// messages between pieces. Unreadable bytes are written as zeros and added
// to unreadableBytes.
void CopyTargetRange(SessionView& view, platform::InputStream& source, std::int64_t start, std::int64_t length,
                     platform::OutputFile& file, std::vector<std::byte>& scratch, std::int64_t& unreadableBytes,
                     const PieceObserver& observe = {});

}  // namespace frambit
