#include "engine/u_defrag.h"

#include <fmt/format.h>

#include <algorithm>

#include "engine/texts.h"
#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit {
namespace {

// Appends the free runs of one reply. A run still open at the reply's end
// is written there: the next reply starts a new one.
void AppendFreeRuns(const platform::VolumeBitmapReply& reply, std::int64_t clusters, FreeRunList& runs) {
  std::int64_t runStart = -1;
  const auto close = [&](std::int64_t end) {
    if (runStart >= 0) runs.runs.push_back({reply.startingCluster + runStart, end - runStart});
    runStart = -1;
  };
  for (std::int64_t i = 0; i < clusters;) {
    const std::uint8_t byte = reply.bitmap[static_cast<std::size_t>(i / 8)];
    if (i % 8 == 0 && clusters - i >= 8 && (byte == 0x00 || byte == 0xFF)) {
      // Eight clusters alike: the common case, taken a byte at a time.
      if (byte == 0xFF) close(i);
      else if (runStart < 0) runStart = i;
      i += 8;
      continue;
    }
    if ((byte >> (i % 8) & 1u) != 0) close(i);
    else if (runStart < 0) runStart = i;
    ++i;
  }
  close(clusters);
}

}  // namespace

std::string FreeRunLine(const FreeRun& run) { return fmt::format("{} - {}", run.firstCluster, run.clusterCount); }

int OpenVolume(const std::string& path, OpenedVolume& volume, const platform::InputOpener& openInput) {
  std::unique_ptr<platform::InputStream> target;
  try {
    target = openInput(path);
  } catch (const CannotOpenError& failure) {
    return failure.errorCode;
  }
  volume.bitmap = platform::ReadVolumeBitmap(std::move(target));
  return 0;
}

void BuildFreeRuns(OpenedVolume& volume, FreeRunList& runs, SessionView& view) {
  platform::VolumeBitmapReply reply;
  std::int64_t start = 0;
  for (;;) {
    const std::int32_t status = volume.bitmap->GetVolumeBitmap(start, reply);
    if (status != platform::kStatusSuccess && status != platform::kStatusBufferOverflow) {
      volume.bitmap.reset();
      ShowNtStatus(view, status);
      return;
    }
    const std::int64_t clusters = std::clamp<std::int64_t>(reply.clustersToEnd, 0, platform::kBitmapPieceClusters);
    AppendFreeRuns(reply, clusters, runs);
    // A reply that covers nothing cannot move the walk on.
    if (status == platform::kStatusSuccess || clusters == 0) break;
    start = reply.startingCluster + clusters;
  }
  volume.bitmap.reset();
  runs.complete = true;
}

void ShowNtStatus(SessionView& view, std::int32_t status) {
  switch (static_cast<std::uint32_t>(status)) {
    case 0: view.ShowMessage(texts::kStatusSuccess); return;
    case 0xC000000Du: view.ShowMessage(texts::kStatusInvalidParameter); return;
    case 0xC0000010u: view.ShowMessage(texts::kStatusInvalidDeviceRequest); return;
    case 0xC0000021u: view.ShowMessage(texts::kStatusAlreadyCommitted); return;
    case 0xC0000023u: view.ShowMessage(texts::kStatusBufferTooSmall); return;
    default: view.ShowMessage(fmt::format("{:08X}", static_cast<std::uint32_t>(status)));
  }
}

void ShowSystemError(SessionView& view, std::uint32_t code) {
  view.ShowMessage(platform::SystemErrorText(static_cast<int>(code)));
}

}  // namespace frambit
