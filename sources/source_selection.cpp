#include "sources/source_selection.h"

#include <fmt/format.h>

#include "platform/user_error.h"
#include "sources/disk_probe.h"
#include "sources/source_texts.h"
#include "sources/volume_info.h"
#include "sources/volume_list.h"

namespace frambit {
namespace {

constexpr char kOpenImageKey[] = "Openimage";
constexpr char kPhysicalDriveName[] = "PhysicalDrive";
constexpr int kOpenImageIcon = 19;
constexpr int kVolumeIcon = 18;
constexpr int kDiskIcon = 17;
constexpr std::size_t kMaxDisks = 256;

TargetMenuEntry Separator() { return {TargetKind::Separator, "", texts::kSeparatorCaption, -1, ""}; }

}  // namespace

RecoverySources SystemSources() { return {platform::SystemVolumes(), platform::SystemDisks()}; }

std::vector<TargetMenuEntry> BuildTargetMenu(RecoverySources& sources) {
  std::vector<TargetMenuEntry> menu{{TargetKind::Image, kOpenImageKey, texts::kOpenImageCaption, kOpenImageIcon, ""}};
  const TNTVolumeList volumes(sources.volumes);
  if (volumes.VolumeCount() > 0) menu.push_back(Separator());
  for (int i = 0; i < volumes.VolumeCount(); ++i)
    menu.push_back({TargetKind::Volume, volumes.VolumeLetter(i) + "xx", volumes.VolumeCaption(i), kVolumeIcon,
                    volumes.VolumeLetter(i)});
  menu.push_back(Separator());
  // The disk list ends at the first disk that cannot be opened.
  const std::vector<std::string> disks = sources.disks.DiskDevices();
  for (std::size_t number = 0; number < disks.size() && number < kMaxDisks; ++number) {
    try {
      const auto disk = sources.open(disks[number]);
      menu.push_back({TargetKind::Disk, kPhysicalDriveName + std::to_string(number),
                      fmt::format("HD{}, {}, [{}]", number, MediaTypeText(sources.disks, disks[number]),
                                  SizeText(DiskSize(*disk))),
                      kDiskIcon, disks[number]});
    } catch (const UserError&) {
      break;
    }
  }
  return menu;
}

void TargetItemClick(const TargetMenuEntry& item, SessionState& state, SourceControls& controls,
                     RecoverySources& sources) {
  std::string text = item.sourceText;
  if (item.kind == TargetKind::Image) {
    const auto chosen = controls.ChooseImageFile();
    if (!chosen) return;
    text = *chosen;
  }
  state.SourcePath = text;
  if (controls.SourceText() == text) return;
  controls.SetSourceText(text);
  SourceChange(state, controls, sources);
}

void SourceChange(SessionState& state, SourceControls& controls, RecoverySources& sources) {
  state.SourcePath = controls.SourceText();
  if (state.SourcePath.empty()) return;
  const auto target = sources.open(state.SourcePath);
  if (!sources.volumes.IsBlockDevice(state.SourcePath)) {
    // An image has no free space of its own to scan.
    state.SourceSize = target->Size();
    controls.SetScanFree(false);
    return;
  }
  const TNTVolumeInfo volume(state.SourcePath, sources.volumes);
  // The exact device length for a disk and a volume alike: a file system's
  // usable size would leave the tail of the medium unscanned.
  state.SourceSize = DiskSize(*target);
  // A device without a file system is a disk: nothing to tell about free space.
  if (volume.FileSystemName.empty()) return;
  state.SourceFileSystem = volume.FileSystemName;
  controls.SetScanFree(state.SourcePath != FirstCdRomLetter(sources.volumes));
}

}  // namespace frambit
