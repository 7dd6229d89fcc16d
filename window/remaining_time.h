#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace frambit {

// "<minutes> : <seconds>", no leading zeros and no hours: 3725 gives "62 : 5".
std::string FormatMinSec(std::int64_t seconds);

// The estimate of one timer tick: the gauge's rate is its position per
// elapsed second since the busy period began (the position is taken as it
// is, without the minimum), and the rest of the range at that rate is the
// time left. nullopt when the rate is still 0, so a tick never divides by
// zero. elapsedSeconds is already counted up for this tick and is at least 2.
std::optional<std::int64_t> RemainingSeconds(std::int64_t position, std::int64_t maximum, std::int64_t elapsedSeconds);

}  // namespace frambit
