#pragma once

// The volume-bitmap routines: open a target's allocation map and walk it
// into the list of free cluster runs.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/session_view.h"
#include "platform/input_stream.h"
#include "platform/volume_bitmap.h"

namespace frambit {

struct FreeRun {
  std::int64_t firstCluster = 0;
  std::int64_t clusterCount = 0;
  bool operator==(const FreeRun&) const = default;
};

// The free clusters of a volume in ascending order, a run split wherever it
// crosses a multiple of 32768 clusters (one bitmap reply each).
struct FreeRunList {
  std::vector<FreeRun> runs;
  // True once the walk reached the end of the bitmap; a failed walk keeps
  // the runs found before it.
  bool complete = false;
  // Where cluster 0 of these runs lies on the target.
  std::int64_t firstClusterOffsetBytes = 0;
};

// "first - count", both in decimal.
std::string FreeRunLine(const FreeRun& run);

// The target's allocation map between OpenVolume and BuildFreeRuns.
struct OpenedVolume {
  std::unique_ptr<platform::VolumeBitmap> bitmap;
};

// Opens path read-only and reads its allocation map into volume. Returns 0
// on success, also when no file system was found (volume.bitmap stays
// empty), and the system's error number when the target cannot be opened.
int OpenVolume(const std::string& path, OpenedVolume& volume, const platform::InputOpener& openInput);

// Walks the bitmap from cluster 0 and appends the free runs; a failing
// request is shown by its status. Closes the volume at its end.
void BuildFreeRuns(OpenedVolume& volume, FreeRunList& runs, SessionView& view);

void ShowNtStatus(SessionView& view, std::int32_t status);
void ShowSystemError(SessionView& view, std::uint32_t code);

}  // namespace frambit
