#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/fragment_hit.h"

namespace frambit {

// The inputs and the running state of one recovery, owned by the face that
// drives the engine (the window or the terminal).
struct SessionState {
  // Asks the running scan to end before its next block.
  bool StopFlag = false;
  // What the scan opens: an image file or a device node, and its length.
  std::string SourcePath;
  std::int64_t SourceSize = 0;
  std::string SourceFileSystem;
  // Seconds of the current busy period, counted from 1.
  std::int32_t ElapsedSeconds = 0;
  // Exists only inside a busy period.
  std::optional<HitList> Hits;
  // Cluster geometry of the volume of the last free-space session.
  std::uint32_t SectorsPerCluster = 0;
  std::uint32_t BytesPerSector = 0;
  std::uint32_t FreeClusters = 0;
  std::uint32_t TotalClusters = 0;
  // The captured sample header; empty until a sample has been captured and
  // again after every scan, which consumes it.
  std::string SampleHeaderPath;
};

}  // namespace frambit
