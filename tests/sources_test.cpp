// The target menu and the resolution of a chosen target, on a fake set of
// volumes and disks.

#include <gtest/gtest.h>

#include <deque>

#include "platform/user_error.h"
#include "sources/disk_probe.h"
#include "sources/source_selection.h"
#include "sources/volume_info.h"
#include "sources/volume_list.h"
#include "tests/support/fake_sources.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using platform::DiskExtent;
using platform::DriveType;
using platform::VolumeLabels;
using platform::VolumeSpace;
using test::FakeSources;

constexpr std::int64_t kGiB = 1LL << 30;
constexpr std::int64_t kMiB = 1LL << 20;

TEST(Sources, SizeTextWritesTheLastRemainderInHundredths) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1 KB"},
      {1034, "1 KB"},  // remainder 10 gives 0 hundredths: no fraction
      {1035, "1.01 KB"},
      {1075, "1.04 KB"},
      {1536, "1.50 KB"},
      {1048575, "1023.99 KB"},
      {1048576, "1 MB"},
      {500107862016, "465.76 GB"},
      {500105249280, "465.75 GB"},
      {2000398934016, "1.81 TB"},
      {3000590369280, "2.72 TB"},  // more than 2^32 sectors of 512 bytes
      {1LL << 50, "1024 TB"},      // the units end at TB
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeText(bytes), text) << bytes;
}

TEST(Sources, MediaTypeTextMapsEveryRange) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "Unknown Media Type"}, {1, "Floppy Disk"},  {10, "Floppy Disk"}, {11, "Removable Drive"},
      {12, "Fixed Drive"},       {13, "Zip / Other"}, {25, "Zip / Other"}, {26, "UNKNOWN"},
      {-1, "UNKNOWN"},
  };
  for (const auto& [type, text] : cases) EXPECT_EQ(MediaTypeText(type), text) << type;
}

TEST(Sources, SizeCaptionSwitchesToGigabytesAtOneMebibyte) {
  const std::pair<double, const char*> cases[] = {
      {0, "0.00 MB"},          {1048575, "1.00 MB"},       {1048576, "0.00 GB"},
      {512.0 * kMiB, "0.50 GB"}, {100.0 * kGiB, "100.00 GB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(TNTVolumeList::SizeCaption(bytes), text) << bytes;
}

FakeSources::Volume FixedVolume(std::string device, std::string label, std::uint32_t disk) {
  return {std::move(device), VolumeLabels{std::move(label), "00ABCDEF", "ext4"}, VolumeSpace{100 * kGiB, 20 * kGiB},
          DriveType::Fixed, std::vector<DiskExtent>{{disk, 1048576, 100 * kGiB}}, 100 * kGiB + 4096};
}

std::vector<DiskExtent> Extents(std::size_t count) {
  std::vector<DiskExtent> extents;
  for (std::size_t i = 0; i < count; ++i) extents.push_back({static_cast<std::uint32_t>(i + 3), 512 * 1024, 4096});
  return extents;
}

TEST(Sources, VolumeInfoKnowsTheExtentOnlyWhereItCanBeAsked) {
  struct Case {
    const char* what;
    FakeSources::Volume volume;
    const char* kind;
    std::uint32_t diskNumber;
    std::int64_t startingOffset;
  };
  auto noRights = FixedVolume("/dev/sda1", "System", 0);
  noRights.extents.reset();
  auto cd = FixedVolume("/dev/sr0", "MOVIE", 0);
  cd.type = DriveType::CdRom;
  auto ram = FixedVolume("/dev/zram0", "", 0);
  ram.type = DriveType::RamDisk;
  auto usb = FixedVolume("/dev/sdc1", "CARD", 2);
  usb.type = DriveType::Removable;
  auto eleven = FixedVolume("/dev/dm-0", "", 0);
  eleven.extents = Extents(11);
  auto ten = FixedVolume("/dev/dm-1", "", 0);
  ten.extents = Extents(10);
  auto onNoDisk = FixedVolume("/dev/md0", "", 0);
  onNoDisk.extents = std::vector<DiskExtent>{};
  const FakeSources::Volume absent{"/dev/sdz1", std::nullopt, std::nullopt, DriveType::Unknown, std::nullopt, 0};
  const Case cases[] = {
      {"fixed, with rights", FixedVolume("/dev/sda1", "System", 0), "HD", 0, 1048576},
      {"fixed, without rights", noRights, "HD", 255, 0},
      {"optical drive", cd, "CD", 255, 0},
      {"RAM drive", ram, "RD", 255, 0},
      {"removable", usb, "RD", 2, 1048576},
      {"eleven extents do not fit the answer", eleven, "HD", 255, 0},
      {"ten extents: the first counts", ten, "HD", 3, 512 * 1024},
      {"on no numbered disk", onNoDisk, "HD", 255, 0},
      {"nothing there", absent, "", 255, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSources fake;
    fake.volumes = {c.volume};
    const TNTVolumeInfo info(c.volume.device, fake);
    EXPECT_EQ(info.Drive, c.volume.device);
    EXPECT_EQ(info.DriveKind, c.kind);
    EXPECT_EQ(info.DiskExtent.DiskNumber, c.diskNumber);
    EXPECT_EQ(info.DiskExtent.StartingOffset, c.startingOffset);
    EXPECT_EQ(info.DiskExtent.ExtentLength, c.diskNumber == 255 ? 0 : c.volume.extents->front().ExtentLength);
    EXPECT_EQ(info.VolumeLabel, c.volume.labels ? c.volume.labels->label : "");
    EXPECT_EQ(info.FileSystemName, c.volume.labels ? c.volume.labels->fileSystemName : "");
    EXPECT_EQ(info.TotalBytes, c.volume.space ? c.volume.space->totalBytes : 0);
    EXPECT_EQ(info.FreeBytes, c.volume.space ? c.volume.space->freeBytes : 0);
  }
}

// The three volumes of the caption examples, and two that are not offered.
FakeSources Machine() {
  FakeSources fake;
  auto unlabelled = FixedVolume("/dev/sdb1", "", 1);
  unlabelled.labels = VolumeLabels{"", "", "vfat"};
  unlabelled.space = VolumeSpace{4 * kGiB, 512 * kMiB};
  auto noRights = FixedVolume("/dev/sdb2", "", 1);
  noRights.extents.reset();
  FakeSources::Volume cd{"/dev/sr0", VolumeLabels{"MOVIE", "", "iso9660"}, VolumeSpace{700 * kMiB, 0},
                         DriveType::CdRom, std::nullopt, 700 * kMiB};
  FakeSources::Volume ram{"/dev/zram0", VolumeLabels{"", "", "ext2"}, VolumeSpace{kGiB, kGiB}, DriveType::RamDisk,
                          std::nullopt, kGiB};
  fake.volumes = {FixedVolume("/dev/sda1", "System", 0), unlabelled, noRights, cd, ram};
  fake.firstCdRom = "/dev/sr0";
  fake.disks = {{"/dev/sda", 500105249280, platform::kFixedMedia}, {"/dev/sdb", 8 * kGiB + 512, platform::kRemovableMedia}};
  return fake;
}

TEST(Sources, VolumeListOffersVolumesOnAKnownDiskOrWithALabel) {
  FakeSources fake = Machine();
  const TNTVolumeList list(fake);
  ASSERT_EQ(list.VolumeCount(), 3);
  const std::pair<const char*, const char*> expected[] = {
      {"/dev/sda1", "System (/dev/sda1), HD0, ext4, [20.00 GB/100.00 GB]"},
      {"/dev/sdb1", " (/dev/sdb1), HD1, vfat, [0.50 GB/4.00 GB]"},
      {"/dev/sr0", "MOVIE (/dev/sr0), CD255, iso9660, [0.00 MB/0.68 GB]"},
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list.VolumeLetter(i), expected[i].first);
    EXPECT_EQ(list.VolumeCaption(i), expected[i].second);
  }
  EXPECT_TRUE(list.Item.Filled);
  EXPECT_EQ(list.Item.Drive, "/dev/sr0");
  EXPECT_EQ(list.Item.KindAndDisk, "CD255");

  FakeSources none;
  none.volumes = {fake.volumes[2], fake.volumes[4]};
  EXPECT_EQ(TNTVolumeList(none).VolumeCount(), 0);
}

std::vector<std::string> Keys(const std::vector<TargetMenuEntry>& menu) {
  std::vector<std::string> keys;
  for (const auto& entry : menu) keys.push_back(entry.kind == TargetKind::Separator ? "-" : entry.key);
  return keys;
}

TEST(Sources, TargetMenuListsImageVolumesAndDisksInOrder) {
  FakeSources fake = Machine();
  RecoverySources sources = fake.Sources();
  const auto menu = BuildTargetMenu(sources);
  EXPECT_EQ(Keys(menu), (std::vector<std::string>{"Openimage", "-", "/dev/sda1xx", "/dev/sdb1xx", "/dev/sr0xx", "-",
                                                  "PhysicalDrive0", "PhysicalDrive1"}));
  EXPECT_EQ(menu[0].caption, "打开磁盘镜像");
  EXPECT_EQ(menu[0].imageIndex, 19);
  EXPECT_EQ(menu[2].caption, "System (/dev/sda1), HD0, ext4, [20.00 GB/100.00 GB]");
  EXPECT_EQ(menu[2].imageIndex, 18);
  EXPECT_EQ(menu[2].sourceText, "/dev/sda1");
  EXPECT_EQ(menu[6].caption, "HD0, Fixed Drive, [465.75 GB]");
  EXPECT_EQ(menu[6].imageIndex, 17);
  EXPECT_EQ(menu[6].sourceText, "/dev/sda");
  EXPECT_EQ(menu[7].caption, "HD1, Removable Drive, [8 GB]");
}

TEST(Sources, DiskItemsEndAtTheFirstDiskThatDoesNotOpen) {
  FakeSources fake;
  fake.disks = {{"/dev/sda", 3000590369280}, {"/dev/sdb", kGiB, platform::kFixedMedia, false}, {"/dev/sdc", kGiB}};
  RecoverySources sources = fake.Sources();
  const auto menu = BuildTargetMenu(sources);
  EXPECT_EQ(Keys(menu), (std::vector<std::string>{"Openimage", "-", "PhysicalDrive0"}));
  EXPECT_EQ(menu[2].caption, "HD0, Fixed Drive, [2.72 TB]");

  fake.disks.clear();
  for (int i = 0; i < 300; ++i) fake.disks.push_back({"/dev/disk" + std::to_string(i), kGiB});
  const auto many = BuildTargetMenu(sources);
  EXPECT_EQ(many.size(), 2u + 256u);
  EXPECT_EQ(many.back().key, "PhysicalDrive255");
}

class FakeControls : public SourceControls {
 public:
  std::string text;
  std::optional<bool> scanFree;  // nullopt: never set
  std::deque<std::optional<std::string>> files;
  int textSets = 0;

  std::string SourceText() override { return text; }
  void SetSourceText(const std::string& newText) override {
    text = newText;
    ++textSets;
  }
  void SetScanFree(bool enabledAndChecked) override { scanFree = enabledAndChecked; }
  std::optional<std::string> ChooseImageFile() override {
    if (files.empty()) return std::nullopt;
    auto answer = files.front();
    files.pop_front();
    return answer;
  }
};

class SourceSelection : public testing::Test {
 public:
  SourceSelection() {
    test::WriteFile(image, std::vector<std::byte>(12345));
    menu = BuildTargetMenu(sources);
  }
  const TargetMenuEntry& Item(const std::string& key) {
    for (const auto& entry : menu)
      if (entry.key == key) return entry;
    throw std::runtime_error("no item " + key);
  }
  void Choose(const std::string& key) { TargetItemClick(Item(key), state, controls, sources); }

  test::TempDir dir;
  std::string image = dir / "card.img";
  FakeSources fake = Machine();
  RecoverySources sources = fake.Sources();
  std::vector<TargetMenuEntry> menu;
  SessionState state;
  FakeControls controls;
};

TEST_F(SourceSelection, EachTargetKindResolvesToItsDeviceAndExactLength) {
  struct Case {
    const char* key;
    std::string text;
    std::int64_t size;
    const char* fileSystem;
    std::optional<bool> scanFree;
  };
  const Case cases[] = {
      // A volume is scanned to the device's end, past the file system's size.
      {"/dev/sda1xx", "/dev/sda1", 100 * kGiB + 4096, "ext4", true},
      {"/dev/sr0xx", "/dev/sr0", 700 * kMiB, "iso9660", false},
      // A disk leaves the file system and the check box as they were.
      {"PhysicalDrive0", "/dev/sda", 500105249280, "iso9660", false},
      {"/dev/sdb1xx", "/dev/sdb1", 100 * kGiB + 4096, "vfat", true},
      {"Openimage", image, 12345, "vfat", false},
  };
  controls.files = {image};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Choose(c.key);
    EXPECT_EQ(controls.text, c.text);
    EXPECT_EQ(state.SourcePath, c.text);
    EXPECT_EQ(state.SourceSize, c.size);
    EXPECT_EQ(state.SourceFileSystem, c.fileSystem);
    EXPECT_EQ(controls.scanFree, c.scanFree);
  }
  // Opened read-only through the opener, one device per choice.
  EXPECT_EQ(fake.opened, (std::vector<std::string>{"/dev/sda", "/dev/sdb", "/dev/sda1", "/dev/sr0", "/dev/sda",
                                                   "/dev/sdb1"}));
}

TEST_F(SourceSelection, TheSameTargetChosenTwiceReadsNothingAgain) {
  Choose("/dev/sda1xx");
  const auto reads = fake.labelReads.size();
  const auto opens = fake.opened.size();
  state.SourceSize = 77;  // would be overwritten by a second resolution
  Choose("/dev/sda1xx");
  EXPECT_EQ(controls.textSets, 1);
  EXPECT_EQ(fake.labelReads.size(), reads);
  EXPECT_EQ(fake.opened.size(), opens);
  EXPECT_EQ(state.SourcePath, "/dev/sda1");
  EXPECT_EQ(state.SourceSize, 77);
}

TEST_F(SourceSelection, ACancelledDialogChangesNothing) {
  Choose("/dev/sda1xx");
  Choose("Openimage");
  EXPECT_EQ(controls.text, "/dev/sda1");
  EXPECT_EQ(state.SourcePath, "/dev/sda1");
  EXPECT_EQ(state.SourceSize, 100 * kGiB + 4096);
}

TEST_F(SourceSelection, ATargetThatCannotBeOpenedKeepsThePreviousSize) {
  Choose("/dev/sda1xx");
  const std::string missing = dir / "gone.img";
  controls.files = {missing};
  try {
    Choose("Openimage");
    FAIL() << "opening a missing image went unnoticed";
  } catch (const UserError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_EQ(controls.text, missing);
  EXPECT_EQ(state.SourcePath, missing);
  EXPECT_EQ(state.SourceSize, 100 * kGiB + 4096);
  EXPECT_EQ(state.SourceFileSystem, "ext4");
  EXPECT_EQ(controls.scanFree, true);
}

TEST_F(SourceSelection, AnEmptySourceResolvesToNothing) {
  state.SourceSize = 5;
  SourceChange(state, controls, sources);
  EXPECT_EQ(state.SourcePath, "");
  EXPECT_EQ(state.SourceSize, 5);
  EXPECT_FALSE(controls.scanFree.has_value());
}

}  // namespace
}  // namespace frambit
