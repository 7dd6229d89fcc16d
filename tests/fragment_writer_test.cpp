#include "engine/fragment_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "platform/user_error.h"
#include "tests/support/memory_stream.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::Bytes;
using test::MemoryStream;
using test::ReadFile;
using test::TempDir;

std::vector<std::byte> Counting(std::size_t size) {
  std::vector<std::byte> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::byte{static_cast<std::uint8_t>(i * 13 + i / 256)};
  return bytes;
}

std::vector<std::byte> Concat(std::vector<std::byte> first, const std::vector<std::byte>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::vector<std::byte> Slice(const std::vector<std::byte>& bytes, std::size_t from, std::size_t to) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

class FragmentWriter : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.Path() / "out");
    test::WriteFile(dir / "header.bin", header);
    state.SampleHeaderPath = dir / "header.bin";
    state.Hits.emplace();
  }

  FragmentOutput Write(const HitList& hits) {
    *state.Hits = hits;
    return WriteFragments(state, view, "target.img", Out(), test::OpenerWith("target.img", target));
  }

  std::string Out() const { return dir / "out"; }
  std::string OutFile(int number) const { return Out() + "/" + std::to_string(number) + ".AVI"; }
  std::vector<std::string> OutNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "out"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  std::vector<std::byte> header = Bytes("RIFF....AVI LIST....hdrlLIST....movi");
  std::vector<std::byte> data = Counting(600'000);
  std::shared_ptr<MemoryStream> target = std::make_shared<MemoryStream>(data);
  SessionState state;
  test::RecordingView view;
};

struct RunCase {
  const char* name;
  HitList hits;
  std::vector<std::pair<std::size_t, std::size_t>> files;  // target byte ranges, one per file
};

class FragmentWriterRuns : public FragmentWriter, public testing::WithParamInterface<RunCase> {};

TEST_P(FragmentWriterRuns, WritesEachRunBehindTheHeader) {
  const FragmentOutput output = Write(GetParam().hits);
  const auto& files = GetParam().files;
  EXPECT_EQ(output.filesWritten, static_cast<std::int32_t>(files.size()));
  ASSERT_EQ(OutNames().size(), files.size());
  std::int64_t total = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto expected = Concat(header, Slice(data, files[i].first, files[i].second));
    EXPECT_EQ(ReadFile(OutFile(static_cast<int>(i + 1))), expected) << "file " << i + 1;
    total += static_cast<std::int64_t>(expected.size());
  }
  EXPECT_EQ(output.bytesWritten, total);
  EXPECT_EQ(output.unreadableBytes, 0);
}

INSTANTIATE_TEST_SUITE_P(
    FragmentWriter, FragmentWriterRuns,
    testing::Values(
        // 100 = 100, then 52 = 51 + a pad byte; 348 breaks the run, and the
        // lone hit at 500 yields nothing.
        RunCase{"PadByteJoinsAndTheClosingChunkIsLeftOut", {{0, 100}, {100, 51}, {152, 40}, {500, 20}}, {{0, 152}}},
        RunCase{"HitsEndingInsideARun", {{0, 100}, {100, 60}}, {{0, 100}}},
        RunCase{"AFalseHitInsideAChunkBreaksTheRun",
                {{0, 50}, {50, 400}, {120, 9999}, {450, 30}, {480, 30}, {510, 30}},
                {{0, 50}, {450, 510}}},
        RunCase{"AGapOfTwoIsNoPadByte", {{0, 99}, {101, 10}, {111, 10}}, {{101, 111}}},
        RunCase{"RunsLongerThanOnePieceAreCopiedWhole",
                {{3, 262144}, {262147, 262144}, {524291, 100}},
                {{3, 524291}}},
        RunCase{"NegativeLengthsNeverJoin", {{0, -8}, {10, 8}, {18, 8}}, {{10, 18}}}),
    [](const testing::TestParamInfo<RunCase>& testCase) { return testCase.param.name; });

TEST_F(FragmentWriter, NoHitsTouchNothing) {
  state.SampleHeaderPath = dir / "missing.bin";
  EXPECT_EQ(Write({}).filesWritten, 0);
  EXPECT_TRUE(view.ranges.empty());
  EXPECT_TRUE(OutNames().empty());
}

TEST_F(FragmentWriter, ASingleHitWritesNothingButNeedsTheHeader) {
  EXPECT_EQ(Write({{0, 100}}).filesWritten, 0);
  EXPECT_TRUE(OutNames().empty());
  state.SampleHeaderPath = dir / "missing.bin";
  EXPECT_THROW(Write({{0, 100}}), UserError);
}

TEST_F(FragmentWriter, ProgressCountsPairsOfHits) {
  Write({{0, 10}, {10, 10}, {20, 10}, {30, 10}});
  ASSERT_EQ(view.ranges.size(), 1u);
  EXPECT_EQ(view.ranges[0], std::make_pair(std::int64_t{0}, std::int64_t{3}));
  EXPECT_EQ(view.progress, (std::vector<std::int64_t>{0, 1, 2}));
}

TEST_F(FragmentWriter, ReplacesEarlierFilesOfTheSameNumbersOnly) {
  for (int i = 1; i <= 5; ++i) test::WriteFile(OutFile(i), Bytes("old " + std::to_string(i)));
  Write({{0, 10}, {10, 10}, {100, 10}, {110, 10}, {200, 10}, {210, 10}});
  EXPECT_EQ(ReadFile(OutFile(3)), Concat(header, Slice(data, 200, 210)));
  EXPECT_EQ(ReadFile(OutFile(4)), Bytes("old 4"));
  EXPECT_EQ(ReadFile(OutFile(5)), Bytes("old 5"));
}

TEST_F(FragmentWriter, AnEmptyHeaderGivesTheRunAlone) {
  test::WriteFile(state.SampleHeaderPath, {});
  Write({{7, 10}, {17, 10}});
  EXPECT_EQ(ReadFile(OutFile(1)), Slice(data, 7, 17));
}

TEST_F(FragmentWriter, UnreadableTargetBytesAreWrittenAsZerosAndCounted) {
  target->AddBadRange(1024, 1025);
  const FragmentOutput output = Write({{1000, 100}, {1100, 100}, {1200, 10}});
  auto expected = Slice(data, 1000, 1200);
  std::fill(expected.begin() + 24, expected.end(), std::byte{0});  // 1024..1199 lies in the bad sector
  EXPECT_EQ(ReadFile(OutFile(1)), Concat(header, expected));
  EXPECT_EQ(output.unreadableBytes, 176);
}

TEST_F(FragmentWriter, NeverWritesOverTheTarget) {
  // A target that sits in the output folder under an output file's name.
  const std::string targetPath = OutFile(1);
  test::WriteFile(targetPath, data);
  *state.Hits = {{0, 10}, {10, 10}};
  try {
    WriteFragments(state, view, targetPath, Out());
    FAIL() << "wrote over the target";
  } catch (const UserError& error) {
    EXPECT_NE(std::string(error.what()).find(targetPath), std::string::npos) << error.what();
  }
  EXPECT_EQ(ReadFile(targetPath), data);
}

TEST_F(FragmentWriter, AMissingOutputFolderIsAnErrorNamingTheFile) {
  *state.Hits = {{0, 10}, {10, 10}};
  try {
    WriteFragments(state, view, "target.img", dir / "nowhere", test::OpenerWith("target.img", target));
    FAIL() << "no error";
  } catch (const UserError& error) {
    EXPECT_NE(std::string(error.what()).find(dir / "nowhere/1.AVI"), std::string::npos) << error.what();
  }
}

// The file-size limit makes writes fall short exactly as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int);
};

TEST_F(FragmentWriter, AShortWriteEndsTheOutputAndNamesTheIncompleteFile) {
  const HitList hits{{0, 1000}, {1000, 10}, {2000, 300'000}, {302'000, 10}, {400'000, 10}, {400'010, 10}};
  std::string message;
  {
    const FileSizeLimit limit(100'000);
    try {
      Write(hits);
    } catch (const UserError& error) {
      message = error.what();
    }
  }
  EXPECT_NE(message.find(OutFile(2)), std::string::npos) << message;
  EXPECT_NE(message.find("不完整"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(OutFile(1)), Concat(header, Slice(data, 0, 1000)));
  EXPECT_FALSE(std::filesystem::exists(OutFile(3)));
}

}  // namespace
}  // namespace frambit
