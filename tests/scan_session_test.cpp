#include "engine/scan_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

#include "engine/texts.h"
#include "platform/user_error.h"
#include "tests/support/chunk_builder.h"
#include "tests/support/memory_stream.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::Bytes;
using test::ChunkBuilder;
using test::MemoryStream;
using test::ReadFile;
using test::TempDir;

constexpr std::int64_t kBlock = 262144;

class ScanSession : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.Path() / "out");
    view.outputFolder = dir / "out";
    CaptureSample();
  }

  // Stands in for a sample capture: the session consumes it every time.
  void CaptureSample() {
    state.SampleHeaderPath = dir / "sample.avi.bin";
    test::WriteFile(state.SampleHeaderPath, header);
  }

  void UseTarget(const std::vector<std::byte>& bytes) {
    target = std::make_shared<MemoryStream>(bytes);
    state.SourcePath = "target.img";
    state.SourceSize = static_cast<std::int64_t>(bytes.size());
  }

  ScanSummary Scan(ScanCommand command = ScanCommand::FullDisk, std::int32_t blockSize = kBlock) {
    ScanOptions options;
    options.blockSize = blockSize;
    options.openInput = test::OpenerWith("target.img", target);
    return RunScanSession(state, view, command, options);
  }

  // Every output file's bytes, in file order.
  std::vector<std::vector<std::byte>> Outputs() const {
    std::vector<std::vector<std::byte>> files;
    for (int i = 1; std::filesystem::exists(dir.Path() / "out" / (std::to_string(i) + ".AVI")); ++i)
      files.push_back(ReadFile(dir / ("out/" + std::to_string(i) + ".AVI")));
    return files;
  }

  TempDir dir;
  std::vector<std::byte> header = Bytes("RIFF....AVI LIST....movi");
  std::shared_ptr<MemoryStream> target;
  SessionState state;
  test::RecordingView view;
};

TEST_F(ScanSession, MissingInputsAreReportedInOrderAndNothingStarts) {
  struct Case {
    std::string source;
    std::string folder;
    bool sample;
    const char* message;
  };
  const Case cases[] = {
      {"", texts::kOutputFolderPlaceholder, false, texts::kNoTarget},
      {"t.img", texts::kOutputFolderPlaceholder, false, texts::kNoOutputFolder},
      {"t.img", "/out", false, texts::kNoSample},
  };
  for (const Case& c : cases) {
    test::RecordingView fresh;
    fresh.source = c.source;
    fresh.outputFolder = c.folder;
    SessionState empty;
    const ScanSummary summary = RunScanSession(empty, fresh, ScanCommand::Recover);
    EXPECT_FALSE(summary.started);
    EXPECT_EQ(fresh.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(fresh.commandsEnabled.empty()) << "became busy";
  }
}

TEST_F(ScanSession, AnEmptyTargetReadsNothingAndStillConsumesTheSample) {
  UseTarget({});
  const ScanSummary summary = Scan();
  EXPECT_TRUE(summary.started);
  EXPECT_EQ(summary.hitCount, 0);
  EXPECT_TRUE(target->Reads().empty());
  EXPECT_EQ(view.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 0}}));
  EXPECT_TRUE(Outputs().empty());
  EXPECT_TRUE(state.SampleHeaderPath.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "sample.avi.bin"));

  // The next scan needs a sample again.
  Scan();
  EXPECT_EQ(view.messages.back(), texts::kNoSample);
}

TEST_F(ScanSession, ReadsInWholeBlocksAndALastShortOne) {
  UseTarget(std::vector<std::byte>(kBlock + 1));
  Scan();
  ASSERT_EQ(target->Reads().size(), 2u);
  EXPECT_EQ(target->Reads()[0].offset, 0);
  EXPECT_EQ(target->Reads()[0].length, static_cast<std::size_t>(kBlock));
  EXPECT_EQ(target->Reads()[1].offset, kBlock);
  EXPECT_EQ(target->Reads()[1].length, 1u);
  EXPECT_EQ(view.ranges.front(), std::make_pair(std::int64_t{0}, std::int64_t{256}));
  EXPECT_EQ(view.progress, (std::vector<std::int64_t>{0, 256, 0}));
}

// Chunks laid so that headers and size fields straddle block edges of every
// block size tried; the hits and files must not depend on the block size.
TEST_F(ScanSession, HitsAndFilesDoNotDependOnTheBlockSize) {
  ChunkBuilder builder;
  builder.Noise(kBlock - 3);  // identifier across the first block edge
  for (int i = 0; i < 40; ++i) builder.Chunk(i % 2 ? "00db" : "00dc", static_cast<std::uint32_t>(997 + i * 131));
  builder.Noise(kBlock * 2 - builder.Size() - 6);  // size field across the second edge
  for (int i = 0; i < 5; ++i) builder.Chunk("00dc", 4096);
  builder.Noise(5000);
  builder.Header("00dc", 77);  // the last 8 bytes of the target
  const std::vector<std::byte> bytes = builder.Bytes();

  std::vector<HitList> hitsSeen;
  std::vector<std::vector<std::vector<std::byte>>> filesSeen;
  for (const std::int32_t blockSize : {static_cast<std::int32_t>(kBlock), 4096, 13, 7}) {
    SCOPED_TRACE(blockSize);
    CaptureSample();
    std::filesystem::remove_all(dir.Path() / "out");
    std::filesystem::create_directory(dir.Path() / "out");
    UseTarget(bytes);
    // The output phase runs inside the busy period: its last look at the
    // hits is the final, sorted list.
    HitList lastSeen;
    view.onProcessMessages = [&] {
      if (state.Hits) lastSeen = *state.Hits;
    };
    const ScanSummary summary = Scan(ScanCommand::FullDisk, blockSize);
    EXPECT_EQ(summary.hitCount, 46);
    hitsSeen.push_back(lastSeen);
    filesSeen.push_back(Outputs());
  }
  ASSERT_EQ(hitsSeen.size(), 4u);
  EXPECT_EQ(hitsSeen[0].front().offset, kBlock - 3);
  EXPECT_EQ(hitsSeen[0].back().offset, static_cast<std::int64_t>(bytes.size()) - 8);
  for (std::size_t i = 1; i < hitsSeen.size(); ++i) {
    ASSERT_EQ(hitsSeen[i].size(), hitsSeen[0].size());
    for (std::size_t h = 0; h < hitsSeen[0].size(); ++h) {
      EXPECT_EQ(hitsSeen[i][h].offset, hitsSeen[0][h].offset);
      EXPECT_EQ(hitsSeen[i][h].length, hitsSeen[0][h].length);
    }
    EXPECT_EQ(filesSeen[i], filesSeen[0]);
  }
  ASSERT_EQ(filesSeen[0].size(), 2u);
  EXPECT_EQ(filesSeen[0][0].size(), header.size() + static_cast<std::size_t>(hitsSeen[0][39].offset - (kBlock - 3)));
}

TEST_F(ScanSession, RecoverAlsoFindsUnderscoreChunksAndFullDiskDoesNot) {
  ChunkBuilder builder;
  builder.Noise(101);
  for (int i = 0; i < 4; ++i) builder.Chunk("00__", 301);
  UseTarget(builder.Bytes());
  EXPECT_EQ(Scan(ScanCommand::FullDisk).hitCount, 0);
  CaptureSample();
  EXPECT_EQ(Scan(ScanCommand::Recover).hitCount, 4);
  EXPECT_EQ(Outputs().size(), 1u);
}

TEST_F(ScanSession, StopEndsTheScanAfterTheCurrentBlockAndWritesWhatWasFound) {
  ChunkBuilder builder;
  for (int i = 0; i < 400; ++i) builder.Chunk("00dc", 4000);  // about 6 blocks of chunks
  UseTarget(builder.Bytes());
  int calls = 0;
  view.onProcessMessages = [&] {
    if (++calls == 2) StopBtnClick(state, view);
  };
  const ScanSummary summary = Scan();
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(view.fragmentCounts.size(), 2u);  // the block of the stopping pass is still searched
  EXPECT_EQ(summary.bytesScanned, 2 * kBlock);
  EXPECT_EQ(view.clearScanFreeOnlyCalls, 1);
  EXPECT_EQ(summary.output.filesWritten, 1);
}

TEST_F(ScanSession, PauseGoesOnOnlyWhenTheUserSaysSo) {
  for (const bool goOn : {true, false}) {
    CaptureSample();
    UseTarget(std::vector<std::byte>(kBlock * 3));
    view.continueAnswer = goOn;
    int calls = 0;
    view.onProcessMessages = [&] {
      if (++calls == 1) PauseBtnClick(state, view);
    };
    const ScanSummary summary = Scan();
    EXPECT_EQ(summary.stopped, !goOn);
    EXPECT_EQ(view.fragmentCounts.size(), goOn ? 3u : 1u);
    view.fragmentCounts.clear();
  }
}

TEST_F(ScanSession, IsBusyWhileScanningAndIdleAfterwards) {
  UseTarget(std::vector<std::byte>(kBlock * 2));
  std::vector<bool> enabledDuring;
  view.onProcessMessages = [&] { enabledDuring.push_back(view.commandsAreEnabled || !view.timerRunning || !state.Hits); };
  Scan();
  EXPECT_EQ(enabledDuring, (std::vector<bool>{false, false}));
  EXPECT_EQ(view.commandsEnabled, (std::vector<bool>{false, true}));
  EXPECT_FALSE(view.timerRunning);
  EXPECT_FALSE(state.Hits.has_value());
  EXPECT_EQ(view.timeCaptionResets, 1);
  EXPECT_EQ(view.fileListRefreshes, 1);
}

TEST_F(ScanSession, FailuresComeAfterTheBusyPeriodHasEnded) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string expectedInMessage;
  };
  const Case cases[] = {
      {"target cannot be opened", [&] { state.SourcePath = dir / "gone.img"; }, "Cannot open file"},
      {"output folder is gone", [&] { view.outputFolder = dir / "nowhere"; }, "1.AVI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureSample();
    ChunkBuilder builder;
    for (int i = 0; i < 3; ++i) builder.Chunk("00dc", 100);
    UseTarget(builder.Bytes());
    c.arrange();
    try {
      Scan();
      ADD_FAILURE() << "no error";
    } catch (const UserError& error) {
      EXPECT_NE(std::string(error.what()).find(c.expectedInMessage), std::string::npos) << error.what();
    }
    EXPECT_TRUE(view.commandsAreEnabled);
    EXPECT_FALSE(view.timerRunning);
    EXPECT_FALSE(state.Hits.has_value());
    EXPECT_TRUE(state.SampleHeaderPath.empty());
    EXPECT_EQ(view.progress.back(), 0);
  }
}

TEST_F(ScanSession, BadSectorsDoNotEndTheScanAndAreReported) {
  ChunkBuilder builder;
  builder.Noise(1001);
  for (int i = 0; i < 3; ++i) builder.Chunk("00dc", 999);
  builder.Noise(kBlock);  // the bad area lies in here
  for (int i = 0; i < 3; ++i) builder.Chunk("00db", 2001);
  UseTarget(builder.Bytes());
  target->AddBadRange(kBlock, kBlock + 1000);  // two sectors
  const ScanSummary summary = Scan();
  EXPECT_EQ(summary.hitCount, 6);
  EXPECT_EQ(summary.unreadableBytes, 1024);
  EXPECT_EQ(summary.bytesScanned, state.SourceSize);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("1024"), std::string::npos) << view.messages[0];
  const auto files = Outputs();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].size(), header.size() + 2 * 2010);
}

TEST_F(ScanSession, ATargetThatShrinksWhileReadIsScannedToItsEnd) {
  ChunkBuilder builder;
  for (int i = 0; i < 3; ++i) builder.Chunk("00dc", 100);
  builder.Noise(kBlock * 2);
  UseTarget(builder.Bytes());
  target->Truncate(kBlock + 10);
  const ScanSummary summary = Scan();
  EXPECT_EQ(summary.hitCount, 3);
  EXPECT_EQ(summary.unreadableBytes, state.SourceSize - (kBlock + 10));
  EXPECT_EQ(Outputs().size(), 1u);
}

// Makes a file immutable for its lifetime: every open for writing then
// fails, even for root.
class ImmutableFile {
 public:
  explicit ImmutableFile(const std::string& path) : descriptor_(::open(path.c_str(), O_RDONLY)) {
    made_ = ::ioctl(descriptor_, FS_IOC_GETFLAGS, &flags_) == 0 && SetFlags(flags_ | FS_IMMUTABLE_FL);
  }
  ~ImmutableFile() {
    if (made_) SetFlags(flags_);
    ::close(descriptor_);
  }
  ImmutableFile(const ImmutableFile&) = delete;
  ImmutableFile& operator=(const ImmutableFile&) = delete;
  bool Made() const { return made_; }

 private:
  bool SetFlags(int flags) { return ::ioctl(descriptor_, FS_IOC_SETFLAGS, &flags) == 0; }
  int descriptor_;
  int flags_ = 0;
  bool made_ = false;
};

// The target is opened read-only all the way through, scan and output.
TEST_F(ScanSession, AnImmutableImageRecovers) {
  ChunkBuilder builder;
  builder.Noise(333);
  for (int i = 0; i < 3; ++i) builder.Chunk("00dc", 501);
  const std::string image = dir / "card.img";
  test::WriteFile(image, builder.Bytes());
  const ImmutableFile immutable(image);
  if (!immutable.Made()) GTEST_SKIP() << "this file system or user cannot make a file immutable";
  state.SourcePath = image;
  state.SourceSize = builder.Size();
  view.source = image;
  EXPECT_EQ(RunScanSession(state, view, ScanCommand::FullDisk).output.filesWritten, 1);
  EXPECT_EQ(ReadFile(image), builder.Bytes());
}

}  // namespace
}  // namespace frambit
