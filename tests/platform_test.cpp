#include <gtest/gtest.h>

#include <string>

#include "platform/input_stream.h"
#include "platform/output_file.h"
#include "platform/user_error.h"
#include "tests/support/shell.h"
#include "tests/support/temp_dir.h"

namespace frambit {
namespace {

using test::TempDir;

std::string OpenFailure(const std::string& path) {
  try {
    platform::OpenInput(path);
  } catch (const UserError& error) {
    return error.what();
  }
  return "";
}

TEST(Platform, RefusesTargetsThatAreNoFileOrBlockDevice) {
  TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {dir / "missing.img", "Cannot open file \"" + dir / "missing.img" + "\". No such file or directory"},
      {dir.Path().string(), "Cannot open file \"" + dir.Path().string() + "\". Is a directory"},
      {"/dev/null", "Cannot open file \"/dev/null\". Block device required"},
  };
  for (const auto& [path, message] : cases) EXPECT_EQ(OpenFailure(path), message);
}

// A device is as long as the device says, to its last sector: not a
// geometry product, not what a file system on it uses.
TEST(Platform, ABlockDeviceIsReadToItsExactLength) {
  TempDir dir;
  const std::string image = dir / "disk.img";
  constexpr std::int64_t kLength = (1 << 20) + 3 * 512;
  std::vector<std::byte> bytes(kLength, std::byte{0x11});
  bytes.back() = std::byte{0x77};
  test::WriteFile(image, bytes);
  const std::string device = test::RunQuietly("losetup --find --show --read-only " + image).out;
  if (device.rfind("/dev/loop", 0) != 0) GTEST_SKIP() << "no loop device could be set up here (needs root)";
  auto stream = platform::OpenInput(device);
  const std::int64_t size = stream->Size();
  std::byte last{};
  const platform::ReadOutcome got = stream->ReadAt(kLength - 1, {&last, 1});
  stream.reset();
  test::RunQuietly("losetup --detach " + device);
  EXPECT_EQ(size, kLength);
  EXPECT_EQ(got.bytesRead, 1u);
  EXPECT_EQ(last, std::byte{0x77});
}

TEST(Platform, AWriteToAFullDiskIsAnErrorNamingTheFile) {
  try {
    platform::OutputFile full("/dev/full");
    full.Write(std::vector<std::byte>(100));
    FAIL() << "the write went unnoticed";
  } catch (const UserError& error) {
    EXPECT_NE(std::string(error.what()).find("/dev/full"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace frambit
