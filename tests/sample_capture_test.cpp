#include "engine/sample_capture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/texts.h"
#include "platform/user_error.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;

// An AVI-looking file of `size` bytes with "movi" at `moviAt` (none if negative).
std::vector<std::byte> SampleBytes(std::size_t size, std::int64_t moviAt) {
  std::vector<std::byte> bytes(size, std::byte{'x'});
  const auto start = Bytes(std::string("RIFF\x10\x00\x00\x00" "AVI LIST", 16));
  std::copy(start.begin(), start.end(), bytes.begin());
  if (moviAt >= 0) {
    const auto movi = Bytes("movi");
    std::copy(movi.begin(), movi.end(), bytes.begin() + moviAt);
  }
  return bytes;
}

// Each test captures under its own file name: the cache folder is shared.
std::string UniqueName(const char* suffix = ".avi") {
  return std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + suffix;
}

TEST(SampleCapture, FindsTheEndOfTheFirstMoviWhereverItLies) {
  struct Case {
    std::size_t size;
    std::int64_t moviAt;
    std::int64_t expected;
  };
  const Case cases[] = {
      {4000, 2040, 2044},
      {600'000, 262142, 262146},  // "mo" ends the first block, "vi" begins the second
      {600'000, 262144, 262148},
      {600'000, 524290, 524294},
      {100, 96, 100},  // the tag ends the file
  };
  for (const Case& c : cases) {
    TempDir dir;
    test::WriteFile(dir / "s.avi", SampleBytes(c.size, c.moviAt));
    EXPECT_EQ(FindMoviEnd(dir / "s.avi"), c.expected) << "movi at " << c.moviAt;
  }
}

TEST(SampleCapture, RefusesWhatIsNoUsableSample) {
  struct Case {
    const char* what;
    std::vector<std::byte> bytes;
  };
  auto notAvi = SampleBytes(4000, 100);
  notAvi[8] = std::byte{'W'};  // RIFF WAVE
  const Case cases[] = {
      {"no movi", SampleBytes(600'000, -1)},
      {"not AVI", notAvi},
      {"empty", {}},
      {"shorter than a RIFF header", Bytes("RIFF")},
  };
  for (const Case& c : cases) {
    TempDir dir;
    test::WriteFile(dir / "s.avi", c.bytes);
    EXPECT_THROW(FindMoviEnd(dir / "s.avi"), UserError) << c.what;
  }
  EXPECT_THROW(FindMoviEnd("/nonexistent/s.avi"), UserError);
}

class SampleCaptureClick : public testing::Test {
 protected:
  void TearDown() override { ReleaseSampleHeader(state); }

  void Choose(const std::string& path) {
    BtnSelectAllClick(state, view, [&] { return std::optional<std::string>(path); });
  }

  TempDir dir;
  SessionState state;
  test::RecordingView view;
};

TEST_F(SampleCaptureClick, CopiesTheHeaderInsideABusyPeriod) {
  const auto sample = SampleBytes(5000, 2040);
  test::WriteFile(dir / UniqueName(), sample);
  bool busyWhileChoosing = false;
  BtnSelectAllClick(state, view, [&] {
    busyWhileChoosing = !view.commandsAreEnabled && state.Hits.has_value();
    return std::optional<std::string>(dir / UniqueName());
  });
  EXPECT_TRUE(busyWhileChoosing);
  EXPECT_TRUE(view.commandsAreEnabled);
  EXPECT_FALSE(state.Hits.has_value());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(std::filesystem::path(state.SampleHeaderPath).filename(), UniqueName(".avi.bin"));
  EXPECT_EQ(ReadFile(state.SampleHeaderPath), std::vector<std::byte>(sample.begin(), sample.begin() + 2044));
}

TEST_F(SampleCaptureClick, ASecondSampleOfTheSameNameReplacesTheFirst) {
  std::filesystem::create_directories(dir.Path() / "a");
  std::filesystem::create_directories(dir.Path() / "b");
  test::WriteFile(dir / ("a/" + UniqueName()), SampleBytes(3000, 100));
  test::WriteFile(dir / ("b/" + UniqueName()), SampleBytes(3000, 200));
  Choose(dir / ("a/" + UniqueName()));
  const std::string first = state.SampleHeaderPath;
  Choose(dir / ("b/" + UniqueName()));
  EXPECT_EQ(state.SampleHeaderPath, first);
  EXPECT_EQ(ReadFile(first).size(), 204u);
}

TEST_F(SampleCaptureClick, CancelAndFailureKeepTheEarlierCapture) {
  const auto sample = SampleBytes(3000, 100);
  test::WriteFile(dir / UniqueName(), sample);
  Choose(dir / UniqueName());
  const std::string captured = state.SampleHeaderPath;
  ASSERT_FALSE(captured.empty());

  BtnSelectAllClick(state, view, [] { return std::nullopt; });
  EXPECT_EQ(state.SampleHeaderPath, captured);
  EXPECT_TRUE(view.messages.empty());

  // A broken sample of the same name must not spoil the captured header.
  test::WriteFile(dir / UniqueName(), Bytes("not a video"));
  Choose(dir / UniqueName());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].rfind(texts::kSampleUnreadable, 0), 0u) << view.messages[0];
  EXPECT_EQ(state.SampleHeaderPath, captured);
  EXPECT_EQ(ReadFile(captured), std::vector<std::byte>(sample.begin(), sample.begin() + 104));
  EXPECT_TRUE(view.commandsAreEnabled);
  EXPECT_FALSE(state.Hits.has_value());
}

TEST_F(SampleCaptureClick, AMissingSampleIsReportedWithItsPath) {
  Choose(dir / "gone.avi");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find(dir / "gone.avi"), std::string::npos) << view.messages[0];
  EXPECT_TRUE(state.SampleHeaderPath.empty());
}

}  // namespace
}  // namespace frambit
