// The free-space session and the allocation maps behind it: real file
// systems made by their own tools while the tests run, checked against what
// those tools report, damaged and mutated maps, and the session's block loop
// over the free clusters.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "engine/free_space_session.h"
#include "engine/scan_session.h"
#include "engine/texts.h"
#include "engine/u_defrag.h"
#include "platform/system_error_text.h"
#include "platform/volume_bitmap.h"
#include "tests/support/chunk_builder.h"
#include "tests/support/recording_view.h"
#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::HaveTool;
using test::RecordingView;
using test::Shell;
using test::TempDir;

constexpr char kDamaged[] = "C0000032";

// A bitmap of `total` clusters held in memory; requests from failAt on
// answer failStatus.
class FakeBitmap final : public platform::VolumeBitmap {
 public:
  explicit FakeBitmap(std::int64_t total) : used(static_cast<std::size_t>(total)) {}
  std::vector<bool> used;
  std::int64_t failAt = -1;
  std::int32_t failStatus = 0;

  platform::ClusterGeometry Geometry() override { return {1, 512, 0, static_cast<std::uint32_t>(used.size()), 0}; }
  std::int32_t GetVolumeBitmap(std::int64_t start, platform::VolumeBitmapReply& reply) override {
    if (failAt >= 0 && start >= failAt) return failStatus;
    const auto total = static_cast<std::int64_t>(used.size());
    reply.startingCluster = start;
    reply.clustersToEnd = total - start;
    reply.bitmap.fill(0);
    for (std::int64_t i = 0; i < std::min(total - start, platform::kBitmapPieceClusters); ++i)
      if (used[static_cast<std::size_t>(start + i)]) reply.bitmap[static_cast<std::size_t>(i / 8)] |= 1u << (i % 8);
    return total - start > platform::kBitmapPieceClusters ? platform::kStatusBufferOverflow : platform::kStatusSuccess;
  }
};

std::vector<std::string> Lines(const FreeRunList& runs) {
  std::vector<std::string> lines;
  for (const FreeRun& run : runs.runs) lines.push_back(FreeRunLine(run));
  return lines;
}

FreeRunList Walk(std::unique_ptr<platform::VolumeBitmap> bitmap, RecordingView& view) {
  OpenedVolume volume{std::move(bitmap)};
  FreeRunList runs;
  BuildFreeRuns(volume, runs, view);
  EXPECT_FALSE(volume.bitmap) << "the volume stays open";
  return runs;
}

TEST(FreeRunList, LinesOfTheWalk) {
  struct Case {
    const char* name;
    std::int64_t total;
    std::vector<std::pair<std::int64_t, std::int64_t>> used;  // [from, to)
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a run across two multiples of 32768", 70000, {{0, 100}}, {"100 - 32668", "32768 - 32768", "65536 - 4464"}},
      {"no free cluster", 40000, {{0, 40000}}, {}},
      {"cluster 0 free", 20, {{1, 20}}, {"0 - 1"}},
      {"runs end at a used cluster and at the volume's end", 20, {{5, 6}, {9, 17}}, {"0 - 5", "6 - 3", "17 - 3"}},
      {"a run that ends just at a multiple", 32769, {{32768, 32769}}, {"0 - 32768"}},
      {"odd clusters in use, bit by bit", 6, {{1, 2}, {3, 4}, {5, 6}}, {"0 - 1", "2 - 1", "4 - 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bitmap = std::make_unique<FakeBitmap>(c.total);
    for (const auto& [from, to] : c.used)
      for (std::int64_t i = from; i < to; ++i) bitmap->used[static_cast<std::size_t>(i)] = true;
    RecordingView view;
    const FreeRunList runs = Walk(std::move(bitmap), view);
    EXPECT_EQ(Lines(runs), c.lines);
    EXPECT_TRUE(runs.complete);
    EXPECT_TRUE(view.messages.empty());
  }
}

TEST(FreeRunList, AFailingRequestShowsItsStatusAndKeepsTheRunsBeforeIt) {
  struct Case {
    std::uint32_t status;
    const char* text;
  };
  const Case cases[] = {
      {0xC000000D, "STATUS_INVALID_PARAMETER"}, {0xC0000010, "STATUS_INVALID_DEVICE_REQUEST"},
      {0xC0000021, "STATUS_ALREADY_COMMITTED"}, {0xC0000023, "STATUS_BUFFER_TOO_SMALL"},
      {0xC0000022, "C0000022"},                 {0x00000042, "00000042"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto bitmap = std::make_unique<FakeBitmap>(70000);
    bitmap->failAt = 32768;
    bitmap->failStatus = static_cast<std::int32_t>(c.status);
    RecordingView view;
    const FreeRunList runs = Walk(std::move(bitmap), view);
    EXPECT_EQ(Lines(runs), std::vector<std::string>{"0 - 32768"});
    EXPECT_FALSE(runs.complete);
    EXPECT_EQ(view.messages, std::vector<std::string>{c.text});
  }
  RecordingView view;
  ShowNtStatus(view, 0);
  EXPECT_EQ(view.messages, std::vector<std::string>{"STATUS_SUCCESS"});
}

TEST(FreeRunList, RunsBecomeByteRangesThatJoinWhereTheyTouch) {
  FreeRunList runs;
  runs.firstClusterOffsetBytes = 1000;
  runs.runs = {{0, 2}, {2, 3}, {10, 1}, {20, 100}};
  // Clusters of 512 bytes; the target ends inside cluster 21.
  EXPECT_EQ(FreeByteRanges(runs, 512, 1000 + 21 * 512 + 7),
            (std::vector<ByteRange>{{1000, 5 * 512}, {1000 + 10 * 512, 512}, {1000 + 20 * 512, 512 + 7}}));
  EXPECT_TRUE(FreeByteRanges(runs, 0, 1 << 20).empty());
  EXPECT_TRUE(FreeByteRanges(runs, 512, 1000).empty());
}

// A file system made in an image file by its own tools, with files put in
// and deleted, and what the tools say of its clusters.
struct FileSystemCase {
  const char* name;
  std::vector<std::string> tools;
  std::string make;    // shell commands; $IMG is the image, $D a scratch folder
  std::string report;  // shell command whose output tells the counts
  std::regex free;     // its free-cluster count ...
  std::regex total;    // ... and its cluster count, each as the first group
  bool usedFirst;      // the report gives used clusters instead of free ones
};

const std::vector<FileSystemCase>& FileSystemCases() {
  static const std::string kFiles = "head -c 300000 /dev/urandom > $D/a && head -c 70000 /dev/urandom > $D/b && ";
  static const std::string kFat = kFiles + "mcopy -i $IMG $D/a ::a && mcopy -i $IMG $D/b ::b && mdel -i $IMG ::a";
  static const std::string kExt = kFiles +
                                  "debugfs -w -R 'write '$D/a' a' $IMG && debugfs -w -R 'write '$D/b' b' $IMG && "
                                  "debugfs -w -R 'rm a' $IMG";
  static const std::regex kFatUsed(R"((\d+)/\d+ clusters)"), kFatTotal(R"(\d+/(\d+) clusters)");
  static const std::regex kExtUsed(R"((\d+)/\d+ blocks)"), kExtTotal(R"(\d+/(\d+) blocks)");
  static const std::vector<FileSystemCase> cases = {
      {"FAT12", {"mkfs.vfat", "mcopy", "fsck.fat"}, "mkfs.vfat -C -F 12 $IMG 2048 && " + kFat, "fsck.fat -n -v $IMG",
       kFatUsed, kFatTotal, true},
      {"FAT16", {"mkfs.vfat", "mcopy", "fsck.fat"}, "mkfs.vfat -C -F 16 -s 2 $IMG 8192 && " + kFat, "fsck.fat -n -v $IMG",
       kFatUsed, kFatTotal, true},
      // Clusters of one sector, so free runs cross multiples of 32768.
      {"FAT32", {"mkfs.vfat", "mcopy", "fsck.fat"}, "mkfs.vfat -C -F 32 -s 1 $IMG 40000 && " + kFat,
       "fsck.fat -n -v $IMG", kFatUsed, kFatTotal, true},
      {"exFAT", {"mkfs.exfat", "dump.exfat"}, "truncate -s 8M $IMG && mkfs.exfat $IMG", "dump.exfat $IMG",
       std::regex(R"(Free Clusters:\s+(\d+))"), std::regex(R"(Total Clusters:\s+(\d+))"), false},
      {"NTFS", {"mkntfs", "ntfscp", "ntfsinfo"},
       "truncate -s 8M $IMG && mkntfs -q -F $IMG && " + kFiles + "ntfscp -f $IMG $D/a a && ntfscp -f $IMG $D/b b",
       "ntfsinfo -m $IMG", std::regex(R"(Free Clusters:\s+(\d+))"), std::regex(R"(Volume Size in Clusters:\s+(\d+))"),
       false},
      {"ext4", {"mkfs.ext4", "debugfs", "e2fsck"}, "truncate -s 8M $IMG && mkfs.ext4 -q -F $IMG && " + kExt,
       "e2fsck -fn $IMG", kExtUsed, kExtTotal, true},
      // Small groups, most of them with their bitmap never written.
      {"ext4 of 8 groups", {"mkfs.ext4", "debugfs", "e2fsck"},
       "truncate -s 8M $IMG && mkfs.ext4 -q -F -b 1024 -g 1024 -N 64 $IMG && " + kExt, "e2fsck -fn $IMG", kExtUsed,
       kExtTotal, true},
      // Descriptors spread over the volume, in two meta groups of 16 groups.
      {"ext4 with meta_bg", {"mkfs.ext4", "debugfs", "e2fsck"},
       "truncate -s 8M $IMG && mkfs.ext4 -q -F -b 1024 -g 256 -N 128 -O meta_bg,^resize_inode $IMG && " + kExt,
       "e2fsck -fn $IMG", kExtUsed, kExtTotal, true},
      {"ext3", {"mkfs.ext3", "debugfs", "e2fsck"}, "truncate -s 8M $IMG && mkfs.ext3 -q -F $IMG && " + kExt,
       "e2fsck -fn $IMG", kExtUsed, kExtTotal, true},
      {"ext2", {"mkfs.ext2", "debugfs", "e2fsck"}, "truncate -s 8M $IMG && mkfs.ext2 -q -F $IMG && " + kExt,
       "e2fsck -fn $IMG", kExtUsed, kExtTotal, true},
  };
  return cases;
}

std::int64_t FirstNumber(const std::string& text, const std::regex& pattern) {
  std::smatch match;
  return std::regex_search(text, match, pattern) ? std::stoll(match[1]) : -1;
}

std::string MissingTool(const std::vector<std::string>& tools) {
  for (const std::string& tool : tools)
    if (!HaveTool(tool)) return tool;
  return {};
}

// Runs the shell commands `make` to make an image at path; empty on
// success, else what went wrong.
std::string MakeImage(const std::string& make, const std::string& path, const TempDir& scratch) {
  int code = 0;
  const std::string out =
      Shell("export MTOOLS_SKIP_CHECK=1 IMG='" + path + "' D='" + scratch.Path().string() + "'; " + make, &code);
  return code == 0 ? std::string() : make + ": " + out;
}

// The shape every FreeRunList has: ascending, apart, no run across a
// multiple of 32768, all inside the volume.
void ExpectWellFormed(const FreeRunList& runs, std::int64_t totalClusters) {
  std::int64_t end = 0;
  const std::regex line(R"(^[0-9]+ - [0-9]+$)");
  for (const FreeRun& run : runs.runs) {
    EXPECT_TRUE(std::regex_match(FreeRunLine(run), line)) << FreeRunLine(run);
    EXPECT_GE(run.firstCluster, end);
    EXPECT_GT(run.clusterCount, 0);
    EXPECT_EQ(run.firstCluster / 32768, (run.firstCluster + run.clusterCount - 1) / 32768) << FreeRunLine(run);
    end = run.firstCluster + run.clusterCount;
  }
  EXPECT_LE(end, totalClusters);
}

std::int64_t FreeIn(const FreeRunList& runs) {
  std::int64_t count = 0;
  for (const FreeRun& run : runs.runs) count += run.clusterCount;
  return count;
}

TEST(AllocationMaps, FreeClustersAreWhatTheFileSystemsOwnToolsReport) {
  for (const FileSystemCase& c : FileSystemCases()) {
    SCOPED_TRACE(c.name);
    if (const std::string missing = MissingTool(c.tools); !missing.empty()) {
      ADD_FAILURE() << missing << " is missing; ./test installs it";
      continue;
    }
    const TempDir dir;
    const std::string image = dir / "volume.img";
    const std::string made = MakeImage(c.make, image, dir);
    ASSERT_EQ(made, "");
    const std::string report = Shell(std::regex_replace(c.report, std::regex(R"(\$IMG)"), image));
    const std::int64_t total = FirstNumber(report, c.total);
    const std::int64_t reported = FirstNumber(report, c.free);
    ASSERT_GT(total, 0) << report;
    const std::int64_t expectedFree = c.usedFirst ? total - reported : reported;

    SessionState state;
    state.SourcePath = image;
    RecordingView view;
    FreeRunList runs;
    ASSERT_TRUE(LoadFreeRuns(state, view, runs));
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    EXPECT_TRUE(runs.complete);
    EXPECT_EQ(state.TotalClusters, total);
    EXPECT_EQ(state.FreeClusters, expectedFree);
    EXPECT_EQ(FreeIn(runs), expectedFree);
    ExpectWellFormed(runs, total);
  }
}

// Whole disks: a FAT16 and an ext4 partition (the second a logical one in
// an extended partition on the MBR disk), and free space around them. A
// sector is free outside the partitions and where the partition's own map
// says so.
TEST(AllocationMaps, PartitionTablesGiveTheFreeSectorsOfEveryPartitionAndAroundThem) {
  if (const std::string missing = MissingTool({"sfdisk", "mkfs.vfat", "mkfs.ext4", "fsck.fat", "e2fsck"});
      !missing.empty())
    FAIL() << missing << " is missing; ./test installs it";
  const TempDir dir;
  // FAT16 at sectors [2048, 10240), ext4 (1 KiB blocks) at [12288, 28672).
  const std::string fat = dir / "fat.img", ext = dir / "ext.img";
  ASSERT_EQ(Shell("mkfs.vfat -C -F 16 -s 1 " + fat + " 4096 >/dev/null && truncate -s 8M " + ext +
                  " && mkfs.ext4 -q -F " + ext + " && echo made"),
            "made\n");
  const std::int64_t fatUsed = FirstNumber(Shell("fsck.fat -n -v " + fat), std::regex(R"((\d+)/\d+ clusters)"));
  const std::int64_t fatTotal = FirstNumber(Shell("fsck.fat -n -v " + fat), std::regex(R"(\d+/(\d+) clusters)"));
  const std::int64_t extUsed = FirstNumber(Shell("e2fsck -fn " + ext), std::regex(R"((\d+)/\d+ blocks)"));
  const std::int64_t extTotal = FirstNumber(Shell("e2fsck -fn " + ext), std::regex(R"(\d+/(\d+) blocks)"));
  const std::int64_t diskSectors = 40960;
  const std::int64_t expectedFree = diskSectors - 8192 - 16384 + (fatTotal - fatUsed) + 2 * (extTotal - extUsed);
  struct Case {
    const char* label;
    std::string table;
  };
  const Case cases[] = {
      {"MBR", "label: dos\nstart=2048, size=8192, type=6\nstart=10240, size=20480, type=5\n"
              "start=12288, size=16384, type=83\n"},
      {"GPT", "label: gpt\nstart=2048, size=8192, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n"
              "start=12288, size=16384, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string disk = dir / (std::string(c.label) + ".img");
    std::ofstream(dir / "table") << c.table;
    ASSERT_EQ(Shell("truncate -s 20M " + disk + " && sfdisk -q " + disk + " < " + (dir / "table") + " && dd if=" + fat +
                    " of=" + disk + " bs=512 seek=2048 conv=notrunc status=none && dd if=" + ext + " of=" + disk +
                    " bs=512 seek=12288 conv=notrunc status=none && echo made"),
              "made\n");
    SessionState state;
    state.SourcePath = disk;
    RecordingView view;
    FreeRunList runs;
    ASSERT_TRUE(LoadFreeRuns(state, view, runs));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(state.BytesPerSector, 512u);
    EXPECT_EQ(state.SectorsPerCluster, 1u);
    EXPECT_EQ(state.TotalClusters, diskSectors);
    EXPECT_EQ(state.FreeClusters, expectedFree);
    EXPECT_EQ(FreeIn(runs), expectedFree);
    ExpectWellFormed(runs, diskSectors);
    // The sectors before the first partition hold the table and are free.
    ASSERT_FALSE(runs.runs.empty());
    EXPECT_EQ(FreeRunLine(runs.runs.front()), "0 - 2048");
  }
}

void Patch(const std::string& path, std::int64_t at, const std::vector<std::uint8_t>& bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(at);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const FileSystemCase& CaseNamed(const std::string& name) {
  for (const FileSystemCase& c : FileSystemCases())
    if (c.name == name) return c;
  throw std::runtime_error("no case " + name);
}

// A map that cannot be trusted gives the failure status; what the damage is
// does not matter, and nothing is read past the target's end.
TEST(AllocationMaps, DamagedMapsGiveTheFailureStatus) {
  struct Case {
    const char* name;
    const char* fileSystem;
    std::function<void(const std::string&)> damage;
  };
  const auto truncateToHalf = [](const std::string& path) {
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  };
  const Case cases[] = {
      {"truncated FAT32 image", "FAT32", truncateToHalf},
      {"truncated exFAT image", "exFAT", truncateToHalf},
      {"truncated NTFS image", "NTFS", truncateToHalf},
      {"truncated ext4 image", "ext4", truncateToHalf},
      // Cluster 5's entry points past the last of 8095 clusters.
      {"FAT16 chain past the end", "FAT16",
       [](const std::string& path) {
         std::ifstream in(path, std::ios::binary);
         unsigned char boot[512];
         in.read(reinterpret_cast<char*>(boot), 512);
         const std::int64_t fatAt = (boot[14] | boot[15] << 8) * 512;
         Patch(path, fatAt + 5 * 2, {0x00, 0xFF});
       }},
      // The MFT record of the bitmap no longer begins with "FILE".
      {"NTFS bitmap record overwritten", "NTFS",
       [](const std::string& path) {
         std::ifstream in(path, std::ios::binary);
         unsigned char boot[512];
         in.read(reinterpret_cast<char*>(boot), 512);
         std::int64_t mftLcn = 0;
         for (int i = 7; i >= 0; --i) mftLcn = mftLcn << 8 | boot[48 + i];
         Patch(path, mftLcn * 4096 + 6 * 1024, {'X', 'X', 'X', 'X'});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileSystemCase& fileSystem = CaseNamed(c.fileSystem);
    if (const std::string missing = MissingTool(fileSystem.tools); !missing.empty()) {
      ADD_FAILURE() << missing << " is missing; ./test installs it";
      continue;
    }
    const TempDir dir;
    const std::string image = dir / "volume.img";
    ASSERT_EQ(MakeImage(fileSystem.make, image, dir), "");
    c.damage(image);
    SessionState state;
    state.SourcePath = image;
    RecordingView view;
    FreeRunList runs;
    EXPECT_TRUE(LoadFreeRuns(state, view, runs));
    EXPECT_EQ(view.messages, std::vector<std::string>{kDamaged});
    EXPECT_FALSE(runs.complete);
  }
}

// A read-only view of bytes owned by the test.
class BorrowedStream final : public platform::InputStream {
 public:
  explicit BorrowedStream(const std::vector<std::byte>& bytes) : bytes_(bytes) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  platform::ReadOutcome ReadAt(std::int64_t offset, std::span<std::byte> out) override {
    if (offset < 0 || offset >= Size()) return {};
    const auto count = std::min(out.size(), bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(out.data(), bytes_.data() + offset, count);
    return {count, 0};
  }

 private:
  const std::vector<std::byte>& bytes_;
};

// Random bytes written over the first structures of every kind of map: the
// readers must answer (with a map, none, or the failure status) and never
// read out of bounds, loop forever or allocate what a field claims.
TEST(AllocationMaps, MutatedMapsNeverCrash) {
  struct Target {
    std::string name;
    std::string make;
    std::vector<std::string> tools;
  };
  std::vector<Target> targets;
  for (const char* name : {"FAT12", "FAT16", "exFAT", "NTFS", "ext4 of 8 groups", "ext4 with meta_bg"})
    targets.push_back({name, CaseNamed(name).make, CaseNamed(name).tools});
  // Disks: a FAT16 partition at 1 MiB and an ext4 one at 6 MiB.
  const std::string partitions = "start=2048, size=8192, type=L\\nstart=12288, size=16384, type=L\\n";
  const std::string fill = " | sfdisk -q $IMG && mkfs.vfat --offset=2048 $IMG 4096 && mkfs.ext4 -q -F -E offset=6291456 $IMG 8M";
  targets.push_back({"MBR disk", "truncate -s 20M $IMG && printf 'label: dos\\n" + partitions + "'" + fill,
                     {"sfdisk", "mkfs.vfat", "mkfs.ext4"}});
  targets.push_back({"GPT disk", "truncate -s 20M $IMG && printf 'label: gpt\\n" + partitions + "'" + fill,
                     {"sfdisk", "mkfs.vfat", "mkfs.ext4"}});
  std::mt19937 random(20261210);
  for (const Target& target : targets) {
    SCOPED_TRACE(target.name);
    if (!MissingTool(target.tools).empty()) continue;  // reported by the tests above
    const TempDir dir;
    const std::string image = dir / "volume.img";
    ASSERT_EQ(MakeImage(target.make, image, dir), "");
    std::vector<std::byte> bytes = test::ReadFile(image);
    ASSERT_TRUE(platform::ReadVolumeBitmap(std::make_unique<BorrowedStream>(bytes))) << "not read before the damage";
    // Far enough to reach the boot sectors of the disks' first partitions.
    const std::size_t reach = std::min<std::size_t>(bytes.size(), 1 << 21);
    for (int round = 0; round < 200; ++round) {
      std::vector<std::pair<std::size_t, std::byte>> undo;
      const int flips = 1 + static_cast<int>(random() % 16);
      for (int i = 0; i < flips; ++i) {
        // Half of them into the boot sector and superblock, where the sizes are.
        const std::size_t at = random() % 2 ? random() % 2048 : random() % reach;
        undo.emplace_back(at, bytes[at]);
        bytes[at] = std::byte{static_cast<std::uint8_t>(random())};
      }
      auto bitmap = platform::ReadVolumeBitmap(std::make_unique<BorrowedStream>(bytes));
      if (bitmap) {
        const platform::ClusterGeometry geometry = bitmap->Geometry();
        RecordingView view;
        const FreeRunList runs = Walk(std::move(bitmap), view);
        if (runs.complete) {
          EXPECT_EQ(FreeIn(runs), geometry.FreeClusters);
        }
      }
      for (auto it = undo.rbegin(); it != undo.rend(); ++it) bytes[it->first] = it->second;
    }
  }
}

TEST(AllocationMaps, ATargetThatCannotBeOpenedGivesTheSystemsReason) {
  OpenedVolume volume;
  EXPECT_EQ(OpenVolume("/nonexistent/card.img", volume, platform::OpenInput), ENOENT);
  EXPECT_FALSE(volume.bitmap);

  SessionState state;
  state.SourcePath = "/nonexistent/card.img";
  RecordingView view;
  FreeRunList runs;
  EXPECT_FALSE(LoadFreeRuns(state, view, runs));
  EXPECT_EQ(view.messages, std::vector<std::string>{platform::SystemErrorText(ENOENT)});
  EXPECT_EQ(view.clearScanFreeOnlyCalls, 1);
  EXPECT_TRUE(runs.runs.empty());
}

TEST(FreeSpace, TheHiddenCheckBoxNeverStaysChecked) {
  RecordingView view;
  bScanFreeClick(view);
  EXPECT_EQ(view.clearScanFreeOnlyCalls, 1);
}

// The session on a FAT32 image of one-sector clusters: cluster 0 (the root
// directory) is in use, everything behind it free, in runs split at cluster
// 32768.
class FreeSpaceSession : public testing::Test {
 protected:
  void SetUp() override {
    const FileSystemCase& fat32 = CaseNamed("FAT32");
    if (const std::string missing = MissingTool(fat32.tools); !missing.empty())
      FAIL() << missing << " is missing; ./test installs it";
    std::filesystem::remove(image);
    ASSERT_EQ(Shell("mkfs.vfat -C -F 32 -s 1 " + image + " 40000 >/dev/null && echo made"), "made\n");
    std::filesystem::create_directory(dir.Path() / "out");
    view.outputFolder = dir / "out";
    state.SourcePath = image;
    state.SourceSize = static_cast<std::int64_t>(std::filesystem::file_size(image));
    state.SampleHeaderPath = dir / "sample.avi.bin";
    test::WriteFile(state.SampleHeaderPath, test::Bytes("RIFF....AVI LIST....movi"));
    std::ifstream in(image, std::ios::binary);
    unsigned char boot[512];
    in.read(reinterpret_cast<char*>(boot), 512);
    const std::int64_t reserved = boot[14] | boot[15] << 8;
    const std::int64_t fatSectors = boot[36] | boot[37] << 8 | boot[38] << 16;
    firstCluster = (reserved + boot[16] * fatSectors) * 512;
  }

  // A chunk header "00dc" with a size field of 16 at `at`.
  void PutHeader(std::int64_t at) { Patch(image, at, {'0', '0', 'd', 'c', 16, 0, 0, 0}); }

  TempDir dir;
  std::string image = dir / "fat32.img";
  std::int64_t firstCluster = 0;  // where cluster 0 (FAT cluster 2) lies
  SessionState state;
  RecordingView view;
};

TEST_F(FreeSpaceSession, ReadsOnlyTheFreeClustersAndFindsHeadersAcrossTheirRuns) {
  PutHeader(firstCluster + 100);                // in the root directory's cluster, in use
  PutHeader(firstCluster + 32768 * 512 - 3);    // across the split of two free runs
  PutHeader(firstCluster + 5000 * 512 + 262141);  // across a block edge inside a run
  const ScanSummary summary = N10Click(state, view);
  EXPECT_TRUE(summary.started);
  EXPECT_TRUE(view.messages.empty()) << view.messages.front();
  EXPECT_EQ(summary.hitCount, 2);
  EXPECT_EQ(state.SectorsPerCluster, 1u);
  EXPECT_EQ(state.BytesPerSector, 512u);
  const std::int64_t freeBytes = std::int64_t{state.FreeClusters} * 512;
  EXPECT_EQ(state.FreeClusters, state.TotalClusters - 1);
  EXPECT_EQ(summary.bytesScanned, freeBytes);
  // The gauge counts what is read, not the target's length.
  ASSERT_FALSE(view.ranges.empty());
  EXPECT_EQ(view.ranges.front(), std::make_pair(std::int64_t{0}, freeBytes / 1024));
  EXPECT_EQ(view.progress.back(), 0);
  EXPECT_TRUE(state.SampleHeaderPath.empty());

  state.SampleHeaderPath = dir / "sample.avi.bin";
  test::WriteFile(state.SampleHeaderPath, test::Bytes("RIFF....AVI LIST....movi"));
  EXPECT_EQ(N9Click(state, view).hitCount, 3);
}

TEST_F(FreeSpaceSession, WithoutAReadableMapTheWholeTargetIsScanned) {
  struct Case {
    const char* name;
    std::function<void()> spoil;
    const char* message;
  };
  const Case cases[] = {
      {"no file system", [&] { Patch(image, 0, std::vector<std::uint8_t>(512, 0x11)); }, texts::kLoadFailed},
      {"a damaged table", [&] { Patch(image, 32 * 512 + 9 * 4, {0x00, 0x00, 0xF0, 0x0F}); }, kDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.spoil();
    PutHeader(firstCluster + 100);
    view = RecordingView();
    view.outputFolder = dir / "out";
    const ScanSummary summary = N10Click(state, view);
    EXPECT_EQ(view.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(summary.bytesScanned, state.SourceSize);
    EXPECT_EQ(summary.hitCount, 1);
    EXPECT_EQ(view.ranges.front(), std::make_pair(std::int64_t{0}, state.SourceSize / 1024));
    EXPECT_TRUE(view.commandsAreEnabled);
  }
}

}  // namespace
}  // namespace frambit
