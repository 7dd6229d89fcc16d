#include "engine/sample_capture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/busy_cycle.h"
#include "engine/texts.h"
#include "platform/output_file.h"
#include "platform/program_paths.h"
#include "platform/system_error_text.h"
#include "platform/user_error.h"

namespace frambit {
namespace {

constexpr std::size_t kSearchBlockBytes = 262144;
constexpr std::array<std::byte, 4> kMovi{std::byte{'m'}, std::byte{'o'}, std::byte{'v'}, std::byte{'i'}};

// Reads exactly out.size() bytes or throws: a sample must be read whole.
void ReadExactly(platform::InputStream& stream, const std::string& path, std::int64_t offset,
                 std::span<std::byte> out) {
  const platform::ReadOutcome got = stream.ReadAt(offset, out);
  if (got.bytesRead == out.size()) return;
  throw UserError(platform::CannotOpenText(path, got.errorCode != 0 ? got.errorCode : EIO));
}

bool StartsAsAvi(std::span<const std::byte> first) {
  constexpr char kRiff[] = "RIFF";
  constexpr char kAvi[] = "AVI ";
  return first.size() >= 12 && std::memcmp(first.data(), kRiff, 4) == 0 && std::memcmp(first.data() + 8, kAvi, 4) == 0;
}

}  // namespace

std::int64_t FindMoviEnd(const std::string& samplePath, const platform::InputOpener& openInput) {
  const auto sample = openInput(samplePath);
  const std::int64_t size = sample->Size();
  if (size == 0) throw UserError(texts::kSampleEmpty + samplePath);
  // The last three bytes of each block are searched again with the next one,
  // so a tag that straddles two blocks is found.
  constexpr std::size_t kCarry = kMovi.size() - 1;
  std::vector<std::byte> window(kCarry + kSearchBlockBytes);
  std::size_t carried = 0;
  for (std::int64_t position = 0; position < size;) {
    const auto piece = static_cast<std::size_t>(std::min<std::int64_t>(kSearchBlockBytes, size - position));
    ReadExactly(*sample, samplePath, position, {window.data() + carried, piece});
    const std::span<const std::byte> searched(window.data(), carried + piece);
    if (position == 0 && !StartsAsAvi(searched)) throw UserError(texts::kSampleNotAvi + samplePath);
    const std::byte* found = std::search(searched.data(), searched.data() + searched.size(), kMovi.begin(), kMovi.end());
    const auto index = static_cast<std::int64_t>(found - searched.data());
    if (index != static_cast<std::int64_t>(searched.size()))
      return position - static_cast<std::int64_t>(carried) + index + std::int64_t{kMovi.size()};
    position += static_cast<std::int64_t>(piece);
    carried = std::min(kCarry, searched.size());
    std::memmove(window.data(), searched.data() + searched.size() - carried, carried);
  }
  throw UserError(texts::kSampleWithoutMovi + samplePath);
}

std::string CacheSampleHeader(const std::string& samplePath, std::int64_t count,
                              const platform::InputOpener& openInput) {
  const std::string folder = platform::CacheDirectory();
  platform::MakeDirectories(folder);
  const auto sample = openInput(samplePath);
  const std::string cachePath = folder + "/" + std::filesystem::path(samplePath).filename().string() + ".bin";
  // The header is written aside and renamed into place, so a failed capture
  // never spoils an earlier capture of a sample with the same name.
  const std::string partPath = cachePath + ".part";
  try {
    platform::OutputFile cache(partPath);
    std::vector<std::byte> piece(kSearchBlockBytes);
    for (std::int64_t copied = 0; copied < count;) {
      const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kSearchBlockBytes, count - copied));
      ReadExactly(*sample, samplePath, copied, {piece.data(), length});
      cache.Write({piece.data(), length});
      copied += static_cast<std::int64_t>(length);
    }
    cache.Close();
    platform::ReplaceFile(partPath, cachePath);
  } catch (...) {
    platform::RemoveQuietly(partPath);
    platform::RemoveQuietly(folder);  // when no earlier capture is in it
    throw;
  }
  return cachePath;
}

void ReleaseSampleHeader(SessionState& state) {
  if (state.SampleHeaderPath.empty()) return;
  platform::RemoveQuietly(state.SampleHeaderPath);
  platform::RemoveQuietly(std::filesystem::path(state.SampleHeaderPath).parent_path().string());
  state.SampleHeaderPath.clear();
}

void BtnSelectAllClick(SessionState& state, SessionView& view, const SampleChooser& chooseSample,
                       const platform::InputOpener& openInput) {
  BeginBusy(state, view);
  try {
    if (const auto chosen = chooseSample()) {
      const std::int64_t count = FindMoviEnd(*chosen, openInput);
      state.SampleHeaderPath = CacheSampleHeader(*chosen, count, openInput);
    }
  } catch (const std::exception& failure) {
    view.ShowMessage(std::string(texts::kSampleUnreadable) + "\r" + failure.what());
  }
  EndBusy(state, view);
}

}  // namespace frambit
