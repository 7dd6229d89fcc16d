// The volume and disk queries on real block devices: loop devices over image
// files that hold file systems made by mkfs, mounted and not. They need root
// and loop devices and skip where either is refused.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/sample_capture.h"
#include "engine/scan_session.h"
#include "platform/disks.h"
#include "platform/volumes.h"
#include "sources/disk_probe.h"
#include "sources/source_selection.h"
#include "sources/volume_info.h"
#include "sources/volume_list.h"
#include "tests/support/recording_view.h"
#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::int64_t kMiB = 1 << 20;
constexpr char kSample[] = FRAMBIT_DEMO_DIR "/sample.avi";


// A loop device over an image file, detached however the test ends.
class LoopDevice {
 public:
  // A read-only loop device refuses every write and forgets that it was
  // read-only when it is detached.
  LoopDevice(const std::string& image, bool partitioned, bool readOnly = false)
      : device_(test::RunQuietly("losetup --find --show " + std::string(partitioned ? "--partscan " : "") +
                      (readOnly ? "--read-only " : "") + image)
                    .out) {
    if (device_.rfind("/dev/loop", 0) != 0) device_.clear();
  }
  ~LoopDevice() {
    if (!device_.empty()) test::RunQuietly("losetup --detach " + device_);
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  const std::string& Device() const { return device_; }

 private:
  std::string device_;
};

// A mount, unmounted however the test ends.
class MountGuard {
 public:
  MountGuard(const std::string& device, std::string mountPoint) : mountPoint_(std::move(mountPoint)) {
    fs::create_directories(mountPoint_);
    mounted_ = test::RunQuietly("mount " + device + " '" + mountPoint_ + "'").exitCode == 0;
  }
  ~MountGuard() {
    if (mounted_) test::RunQuietly("umount '" + mountPoint_ + "'");
  }
  MountGuard(const MountGuard&) = delete;
  MountGuard& operator=(const MountGuard&) = delete;
  bool Mounted() const { return mounted_; }

 private:
  std::string mountPoint_;
  bool mounted_ = false;
};

// An image file of the given length, zero-filled.
void MakeImage(const std::string& path, std::int64_t bytes) {
  std::ofstream{path};
  fs::resize_file(path, static_cast<std::uintmax_t>(bytes));
}

// A master boot record with one partition of type 0x0C (FAT32, LBA).
void WritePartitionTable(const std::string& image, std::uint32_t firstSector, std::uint32_t sectors) {
  unsigned char mbr[512] = {};
  unsigned char* entry = mbr + 446;
  entry[4] = 0x0C;
  for (int i = 0; i < 4; ++i) {
    entry[8 + i] = static_cast<unsigned char>(firstSector >> (8 * i));
    entry[12 + i] = static_cast<unsigned char>(sectors >> (8 * i));
  }
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  std::fstream out(image, std::ios::binary | std::ios::in | std::ios::out);
  out.write(reinterpret_cast<const char*>(mbr), sizeof mbr);
}

// The disk number of a whole device now: its index among the disks.
std::uint32_t DiskNumberOf(const std::string& device) {
  const auto disks = platform::SystemDisks().DiskDevices();
  for (std::size_t i = 0; i < disks.size(); ++i)
    if (disks[i] == device) return static_cast<std::uint32_t>(i);
  return 255;
}

// Pairs of what the system shows and what it should show.
using Expectations = std::vector<std::pair<std::string, std::string>>;

// Other programs may attach loop devices meanwhile, which renumbers the
// disks: a mismatch counts only when the disks stayed the same throughout.
void ExpectWithStableDisks(const std::function<Expectations()>& gather) {
  Expectations last;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const auto before = platform::SystemDisks().DiskDevices();
    last = gather();
    const bool match = std::all_of(last.begin(), last.end(), [](const auto& pair) { return pair.first == pair.second; });
    if (match || platform::SystemDisks().DiskDevices() == before) break;
  }
  for (const auto& [shown, expected] : last) EXPECT_EQ(shown, expected);
}

// Runs the probe in a child process that has given up root; the probe's
// exit status, or -1.
int AsNobody(const std::function<int()>& probe) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    ::_exit(probe());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Caption(const std::vector<TargetMenuEntry>& menu, const std::string& sourceText) {
  for (const auto& entry : menu)
    if (entry.sourceText == sourceText) return entry.caption;
  return "(not offered)";
}

class FixedSource final : public SourceControls {
 public:
  explicit FixedSource(std::string text) : text_(std::move(text)) {}
  std::string SourceText() override { return text_; }
  void SetSourceText(const std::string& text) override { text_ = text; }
  void SetScanFree(bool enabledAndChecked) override { scanFree = enabledAndChecked; }
  std::optional<std::string> ChooseImageFile() override { return std::nullopt; }
  std::optional<bool> scanFree;

 private:
  std::string text_;
};

class SourcesOnDevices : public testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to attach loop devices";
    for (const char* tool : {"losetup", "partx", "mkfs.ext4", "mkfs.vfat", "mcopy", "mdel", "df"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " is missing (e2fsprogs, dosfstools, mtools, util-linux, coreutils)";
  }

  // Resolves the target as the window does and scans it for the deleted
  // copy of the sample; true when a recovered file holds it.
  void ExpectRecovered(SessionState& state) {
    test::RecordingView view;
    view.source = state.SourcePath;
    view.outputFolder = dir / "out";
    fs::create_directory(view.outputFolder);
    BtnSelectAllClick(state, view, [] { return std::optional<std::string>(kSample); });
    ASSERT_FALSE(state.SampleHeaderPath.empty()) << (view.messages.empty() ? "" : view.messages[0]);
    const ScanSummary summary = RunBtnClick(state, view);
    EXPECT_EQ(summary.bytesScanned, state.SourceSize);
    EXPECT_EQ(summary.unreadableBytes, 0);
    // The deleted clip comes back as the sample's own bytes up to its last
    // frame, which closes the run and stays out.
    const auto sample = test::ReadFile(kSample);
    bool found = false;
    for (int i = 1; i <= summary.output.filesWritten; ++i) {
      const auto recovered = test::ReadFile(view.outputFolder + "/" + std::to_string(i) + ".AVI");
      found = found || (recovered.size() > sample.size() * 9 / 10 && recovered.size() < sample.size() &&
                        std::equal(recovered.begin(), recovered.end(), sample.begin()));
    }
    EXPECT_TRUE(found) << summary.output.filesWritten << " files written, none holds the deleted clip";
  }

  TempDir dir;
};

TEST_F(SourcesOnDevices, AMountedExt4DiskIsOfferedResolvedAndRecovered) {
  const std::string image = dir / "ext4.img";
  MakeImage(image, 32 * kMiB + 3 * 512);  // not a whole number of file-system blocks
  ASSERT_EQ(test::RunQuietly("mkfs.ext4 -q -F -L FRAMBIT " + image).exitCode, 0);
  const LoopDevice loop(image, false);
  if (loop.Device().empty()) GTEST_SKIP() << "no loop device could be attached here";
  // The system writes a blank in a mount point as \040; the free and total
  // bytes are read there.
  const std::string mountPoint = dir / "mount point";
  const MountGuard mount(loop.Device(), mountPoint);
  if (!mount.Mounted()) GTEST_SKIP() << "the kernel refused to mount ext4 here";
  ASSERT_EQ(test::RunQuietly("cp " + std::string(kSample) + " '" + mountPoint + "/clip.avi' && sync && rm '" + mountPoint +
                  "/clip.avi' && sync")
                .exitCode,
            0);

  RecoverySources sources = SystemSources();
  const auto df = test::RunQuietly("df -B1 --output=avail,size '" + mountPoint + "' | tail -1").out;
  double avail = 0, size = 0;
  ASSERT_EQ(std::sscanf(df.c_str(), "%lf %lf", &avail, &size), 2) << df;
  ExpectWithStableDisks([&]() -> Expectations {
    const std::string number = std::to_string(DiskNumberOf(loop.Device()));
    const auto menu = BuildTargetMenu(sources);
    // The same device is a volume and a whole disk; its disk item comes
    // after the volumes.
    std::string diskKey = "(no disk item)";
    for (const auto& entry : menu)
      if (entry.kind == TargetKind::Disk && entry.sourceText == loop.Device()) diskKey = entry.key;
    return {{Caption(menu, loop.Device()), "FRAMBIT (" + loop.Device() + "), HD" + number + ", ext4, [" +
                                               TNTVolumeList::SizeCaption(avail) + "/" +
                                               TNTVolumeList::SizeCaption(size) + "]"},
            {Caption(std::vector<TargetMenuEntry>(menu.rbegin(), menu.rend()), loop.Device()),
             "HD" + number + ", Fixed Drive, [32 MB]"},
            {diskKey, "PhysicalDrive" + number},
            // frambit-cli shows the same entries, with the path for --target.
            {std::to_string(test::RunQuietly(std::string(FRAMBIT_CLI) + " targets | grep -cxF 'HD" + number +
                                  ", Fixed Drive, [32 MB]	" + loop.Device() + "'")
                                .out == "1"),
             "1"}};
  });

  // Without the right to open the device, the mounted volume still tells its
  // file system, but not the disk it lies on, so unlabelled as udev leaves
  // it here it is not offered.
  EXPECT_EQ(AsNobody([&] {
              const TNTVolumeInfo info(loop.Device(), platform::SystemVolumes());
              if (info.FileSystemName != "ext4") return 1;
              if (info.DiskExtent.DiskNumber != 255 || info.DiskExtent.ExtentLength != 0) return 2;
              if (!info.VolumeLabel.empty()) return 0;  // udev's links gave the label
              RecoverySources unprivileged = SystemSources();
              return Caption(BuildTargetMenu(unprivileged), loop.Device()) == "(not offered)" ? 0 : 3;
            }),
            0);

  SessionState state;
  FixedSource source(loop.Device());
  SourceChange(state, source, sources);
  EXPECT_EQ(state.SourcePath, loop.Device());
  EXPECT_EQ(state.SourceSize, 32 * kMiB + 3 * 512);  // the device's length, past the file system
  EXPECT_EQ(state.SourceFileSystem, "ext4");
  EXPECT_EQ(source.scanFree, true);
  ExpectRecovered(state);
}

TEST_F(SourcesOnDevices, AnUnmountedReadOnlyFatPartitionIsOfferedWithItsExtentAndRecovered) {
  const std::string image = dir / "card.img";
  constexpr std::uint32_t kFirstSector = 2048;
  constexpr std::uint32_t kSectors = 64 * 1024 + 7;
  MakeImage(image, 40 * kMiB);
  WritePartitionTable(image, kFirstSector, kSectors);
  // The file system is made in the image at the partition's offset, smaller
  // than the partition, and the clip is written and deleted there.
  const std::string at = " --offset " + std::to_string(kFirstSector) + " ";
  ASSERT_EQ(test::RunQuietly("mkfs.vfat -n CARD -i ABCD1234" + at + image + " " + std::to_string(kSectors / 2)).exitCode, 0);
  const std::string inImage = image + "@@" + std::to_string(std::uint64_t{kFirstSector} * 512);
  ASSERT_EQ(test::RunQuietly("mcopy -i " + inImage + " " + kSample + " ::/CLIP.AVI && mdel -i " + inImage + " ::/CLIP.AVI").exitCode,
            0);
  // Probing, resolution and the scan get by with a card that refuses writes.
  const LoopDevice loop(image, true, true);
  if (loop.Device().empty()) GTEST_SKIP() << "no loop device could be attached here";
  const std::string partition = loop.Device() + "p1";
  // A kernel without the MBR reader leaves the partition to user space.
  if (!fs::exists(partition)) test::RunQuietly("partx --add " + loop.Device());
  for (int i = 0; i < 50 && !fs::exists(partition); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!fs::exists(partition)) GTEST_SKIP() << "the kernel made no node for the partition of " << loop.Device();
  ASSERT_EQ(test::RunQuietly("cat /sys/class/block/" + partition.substr(5) + "/ro").out, "1");

  const platform::DiskExtent extent = [&] {
    const auto extents = platform::SystemVolumes().ReadExtents(partition);
    return extents && !extents->empty() ? extents->front() : platform::DiskExtent{};
  }();
  EXPECT_EQ(extent.StartingOffset, std::int64_t{kFirstSector} * 512);
  EXPECT_EQ(extent.ExtentLength, std::int64_t{kSectors} * 512);
  EXPECT_EQ(platform::SystemVolumes().ReadLabels(partition)->serialNumber, "ABCD1234");

  RecoverySources sources = SystemSources();
  ExpectWithStableDisks([&]() -> Expectations {
    const std::string number = std::to_string(DiskNumberOf(loop.Device()));
    const auto menu = BuildTargetMenu(sources);
    // Not mounted: the free and total bytes are unknown.
    return {{Caption(menu, partition), "CARD (" + partition + "), HD" + number + ", vfat, [0.00 MB/0.00 MB]"},
            {Caption(menu, loop.Device()), "HD" + number + ", Fixed Drive, [40 MB]"}};
  });

  SessionState state;
  FixedSource disk(loop.Device());
  SourceChange(state, disk, sources);
  EXPECT_EQ(state.SourceSize, 40 * kMiB);
  EXPECT_EQ(state.SourceFileSystem, "");
  EXPECT_FALSE(disk.scanFree.has_value());

  FixedSource volume(partition);
  SourceChange(state, volume, sources);
  EXPECT_EQ(state.SourcePath, partition);
  EXPECT_EQ(state.SourceSize, std::int64_t{kSectors} * 512);
  EXPECT_EQ(state.SourceFileSystem, "vfat");
  EXPECT_EQ(volume.scanFree, true);
  ExpectRecovered(state);
}

}  // namespace
}  // namespace frambit
