#include "window/remaining_time.h"

#include "window/window_texts.h"

namespace frambit {

std::string FormatMinSec(std::int64_t seconds) {
  return std::to_string(seconds / 60) + texts::kMinSecSeparator + std::to_string(seconds % 60);
}

std::optional<std::int64_t> RemainingSeconds(std::int64_t position, std::int64_t maximum, std::int64_t elapsedSeconds) {
  if (elapsedSeconds <= 0) return std::nullopt;
  const std::int64_t rate = position / elapsedSeconds;
  if (rate == 0) return std::nullopt;
  return (maximum - position) / rate;
}

}  // namespace frambit
