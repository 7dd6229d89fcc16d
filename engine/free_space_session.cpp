#include "engine/free_space_session.h"

#include <algorithm>

#include "engine/texts.h"

namespace frambit {

bool LoadFreeRuns(SessionState& state, SessionView& view, FreeRunList& runs, const platform::InputOpener& openInput) {
  OpenedVolume volume;
  if (const int code = OpenVolume(state.SourcePath, volume, openInput); code != 0) {
    ShowSystemError(view, static_cast<std::uint32_t>(code));
    view.ClearScanFreeOnly();
    return false;
  }
  if (!volume.bitmap) {
    view.ShowMessage(texts::kLoadFailed);
    view.ClearScanFreeOnly();
    return false;
  }
  const platform::ClusterGeometry geometry = volume.bitmap->Geometry();
  state.SectorsPerCluster = geometry.SectorsPerCluster;
  state.BytesPerSector = geometry.BytesPerSector;
  state.FreeClusters = geometry.FreeClusters;
  state.TotalClusters = geometry.TotalClusters;
  runs.firstClusterOffsetBytes = geometry.clusterZeroOffsetBytes;
  BuildFreeRuns(volume, runs, view);
  return true;
}

void bScanFreeClick(SessionView& view) { view.ClearScanFreeOnly(); }

std::vector<ByteRange> FreeByteRanges(const FreeRunList& runs, std::int64_t clusterBytes, std::int64_t sourceSize) {
  std::vector<ByteRange> ranges;
  const std::int64_t firstClusterOffsetBytes = runs.firstClusterOffsetBytes;
  if (clusterBytes <= 0 || firstClusterOffsetBytes < 0 || firstClusterOffsetBytes >= sourceSize) return ranges;
  const std::int64_t clustersOnTarget = (sourceSize - firstClusterOffsetBytes) / clusterBytes +
                                        ((sourceSize - firstClusterOffsetBytes) % clusterBytes != 0 ? 1 : 0);
  for (const FreeRun& run : runs.runs) {
    if (run.firstCluster < 0 || run.clusterCount <= 0 || run.firstCluster >= clustersOnTarget) continue;
    const std::int64_t offset = firstClusterOffsetBytes + run.firstCluster * clusterBytes;
    const std::int64_t count = std::min(run.clusterCount, clustersOnTarget - run.firstCluster);
    const std::int64_t length = std::min(count * clusterBytes, sourceSize - offset);
    if (!ranges.empty() && ranges.back().offsetBytes + ranges.back().lengthBytes == offset) {
      ranges.back().lengthBytes += length;
    } else {
      ranges.push_back({offset, length});
    }
  }
  return ranges;
}

}  // namespace frambit
