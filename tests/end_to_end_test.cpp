// End-to-end tests of frambit-cli: the built program runs on disk images that
// hold real AVI movie data (made with ffmpeg while the test runs) or chunks
// built by hand, and every file it writes is compared byte for byte with what
// the carving must give: the sample's header, then the target's bytes from a
// run's first chunk up to the chunk that closes the run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/little_endian.h"
#include "tests/support/chunk_builder.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace frambit::test {
namespace {

namespace fs = std::filesystem;
using ByteVector = std::vector<std::byte>;

constexpr std::int64_t kBlock = 262144;  // the scan's block size
constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;
constexpr char kNoTarget[] = "请选择恢复目标!";
constexpr char kNoOutput[] = "请选择保存路径!";
constexpr char kNoSample[] = "请选择样本文件!";
constexpr char kSampleUnreadable[] = "样本无法访问!";

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const std::string& path) {
  const ByteVector bytes = ReadFile(path);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A program started with stdin from /dev/null and stdout and stderr into two
// files.
class Child {
 public:
  // The program is found on PATH or by its path.
  Child(const std::vector<std::string>& args, std::string outPath, std::string errPath)
      : outPath_(std::move(outPath)), errPath_(std::move(errPath)) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    spawnError_ = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError_ != 0) spawnText_ = args[0] + ": " + std::strerror(spawnError_);
  }
  // A child still running when a test gives up is killed.
  ~Child() {
    if (spawnError_ != 0 || waited_) return;
    ::kill(pid_, SIGKILL);
    Wait();
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return spawnError_ == 0 ? pid_ : -1; }

  // exitCode is 127 when the program could not start, 128 + the signal when
  // one ended it.
  CliResult Wait() {
    CliResult result;
    if (spawnError_ != 0) {
      result.exitCode = 127;
      result.err = spawnText_;
      return result;
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadText(outPath_);
    result.err = ReadText(errPath_);
    return result;
  }

 private:
  std::string outPath_;
  std::string errPath_;
  pid_t pid_ = -1;
  int spawnError_ = 0;
  std::string spawnText_;
  bool waited_ = false;
};

CliResult Spawn(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath) {
  return Child(args, outPath, errPath).Wait();
}

// The bytes a process has read so far, -1 when the system does not tell.
std::int64_t BytesReadBy(pid_t pid) {
  const std::string io = ReadText("/proc/" + std::to_string(pid) + "/io");
  const std::size_t at = io.find("rchar: ");
  return at == std::string::npos ? -1 : std::stoll(io.substr(at + 7));
}

void Append(ByteVector& bytes, const std::string& text) {
  for (char c : text) bytes.push_back(std::byte{static_cast<std::uint8_t>(c)});
}

struct Chunk {
  std::string id;
  std::size_t offset;  // of the identifier
  std::uint32_t size;  // the size field
};

// The RIFF chunks that follow each other in bytes[from, to), pad bytes skipped.
std::vector<Chunk> ChunksIn(std::span<const std::byte> bytes, std::size_t from, std::size_t to) {
  std::vector<Chunk> chunks;
  for (std::size_t at = from; at + 8 <= to;) {
    const std::uint32_t size = LoadLittleEndian32(bytes.data() + at + 4);
    chunks.push_back({std::string(reinterpret_cast<const char*>(bytes.data() + at), 4), at, size});
    at += 8 + std::size_t{size} + (size & 1);
  }
  return chunks;
}

// Where the data of the AVI's "LIST movi" lies: [first, second).
std::pair<std::size_t, std::size_t> MoviRange(const ByteVector& avi) {
  for (const Chunk& chunk : ChunksIn(avi, 12, avi.size())) {
    if (chunk.id == "LIST" && std::memcmp(avi.data() + chunk.offset + 8, "movi", 4) == 0)
      return {chunk.offset + 12, chunk.offset + 8 + chunk.size};
  }
  ADD_FAILURE() << "the AVI has no LIST movi";
  return {0, 0};
}

// The movie list's payload: the chunks after "movi", as a camera leaves them
// on the medium.
ByteVector MoviPayload(const ByteVector& avi) {
  const auto [from, to] = MoviRange(avi);
  return {avi.begin() + static_cast<std::ptrdiff_t>(from), avi.begin() + static_cast<std::ptrdiff_t>(to)};
}

// What the program takes from a sample: its bytes through the first "movi".
ByteVector SampleHeader(const ByteVector& sample) {
  const char* movi = "movi";
  const auto found = std::search(sample.begin(), sample.end(), reinterpret_cast<const std::byte*>(movi),
                                 reinterpret_cast<const std::byte*>(movi) + 4);
  EXPECT_NE(found, sample.end()) << "the sample has no movi";
  return {sample.begin(), found == sample.end() ? found : found + 4};
}

ByteVector Concat(const ByteVector& head, std::span<const std::byte> tail) {
  ByteVector joined = head;
  joined.insert(joined.end(), tail.begin(), tail.end());
  return joined;
}

// The line of the summary that starts with prefix, without its newline.
std::string SummaryLine(const std::string& out, const std::string& prefix) {
  for (std::size_t at = 0; at < out.size();) {
    const std::size_t end = std::min(out.find('\n', at), out.size());
    if (out.compare(at, prefix.size(), prefix) == 0) return out.substr(at, end - at);
    at = end + 1;
  }
  return "(no line \"" + prefix + "\")";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The summary of a finished session that found no unreadable byte.
void ExpectSummary(const std::string& out, std::int64_t scanned, std::int64_t hits, int files, std::int64_t bytes) {
  EXPECT_TRUE(SummaryLine(out, "扫描: ").starts_with("扫描: " + std::to_string(scanned) + " 字节, ")) << out;
  EXPECT_EQ(SummaryLine(out, "碎片: "), "碎片: " + std::to_string(hits));
  EXPECT_TRUE(SummaryLine(out, "输出: ")
                  .starts_with("输出: " + std::to_string(files) + " 个文件, " + std::to_string(bytes) + " 字节, "))
      << out;
  EXPECT_EQ(SummaryLine(out, "无法读取: "), "无法读取: 0 字节");
}

// Success when the file holds exactly `expected`; otherwise says where it
// differs.
::testing::AssertionResult HoldsExactly(const std::string& path, std::span<const std::byte> expected) {
  const ByteVector got = ReadFile(path);
  const auto [g, e] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
  if (g == got.end() && e == expected.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " has " << got.size() << " bytes where " << expected.size()
                                       << " are expected; the first difference is at byte " << (g - got.begin());
}

// A tmpfs of a fixed size, unmounted when the guard goes.
class TmpfsMount {
 public:
  TmpfsMount(const std::string& path, const std::string& options) : path_(path) {
    fs::create_directories(path);
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      error_ = std::strerror(errno);
    }
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }

 private:
  std::string path_;
  bool mounted_ = false;
  std::string error_;
};

class EndToEnd : public ::testing::Test {
 protected:
  // An AVI written by ffmpeg with its chunks as found on the medium.
  struct Avi {
    std::string path;
    ByteVector bytes;
  };

  static bool FfmpegPresent() {
    static const bool present = [] {
      const TempDir scratch;
      return Spawn({"ffmpeg", "-version"}, scratch / "o", scratch / "e").exitCode == 0 &&
             Spawn({"ffprobe", "-version"}, scratch / "o", scratch / "e").exitCode == 0;
    }();
    return present;
  }
  static constexpr char kNoFfmpeg[] = "ffmpeg and ffprobe are needed to make and check real AVI files; install ffmpeg";

  std::string Path(const std::string& name) const { return dir_ / name; }

  // Sample names are unique to the test, so that ExpectCacheClean looks for
  // this test's cached header only while other tests run beside it.
  std::string UniqueName(const std::string& stem) const {
    return stem + "-" + dir_.Path().filename().string() + ".avi";
  }

  CliResult RunCli(const std::vector<std::string>& args) const {
    return Spawn(CliArgs(args), Path("cli.stdout"), Path("cli.stderr"));
  }

  std::vector<std::string> CliArgs(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{FRAMBIT_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

  CliResult Recover(const std::string& command, const std::string& target, const std::string& sample,
                    const std::string& output) const {
    return RunCli({command, "--target", target, "--sample", sample, "--output", output});
  }

  // An AVI of `frames` 64x48 frames of the lavfi source `pattern`. ffmpeg
  // labels every video chunk "00dc"; a fourcc other than that relabels the
  // chunks of the movie list and the index, as a camera storing
  // uncompressed frames ("00db") writes them.
  Avi MakeAvi(const std::string& name, const std::vector<std::string>& codec, int frames, const std::string& pattern,
              const std::string& fourcc = "00dc") const {
    Avi avi{Path(name), {}};
    std::vector<std::string> args{"ffmpeg",
                                  "-nostdin",
                                  "-v",
                                  "error",
                                  "-y",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  pattern + "=size=64x48:rate=10",
                                  "-frames:v",
                                  std::to_string(frames),
                                  "-an"};
    args.insert(args.end(), codec.begin(), codec.end());
    args.push_back(avi.path);
    const CliResult made = Spawn(args, Path("ffmpeg.stdout"), Path("ffmpeg.stderr"));
    EXPECT_EQ(made.exitCode, 0) << made.err;
    avi.bytes = ReadFile(avi.path);
    const auto [from, to] = MoviRange(avi.bytes);
    for (const Chunk& chunk : ChunksIn(avi.bytes, from, to))
      std::memcpy(avi.bytes.data() + chunk.offset, fourcc.data(), 4);
    for (const Chunk& chunk : ChunksIn(avi.bytes, to, avi.bytes.size())) {
      if (chunk.id != "idx1") continue;
      for (std::size_t entry = chunk.offset + 8; entry + 16 <= chunk.offset + 8 + chunk.size; entry += 16)
        std::memcpy(avi.bytes.data() + entry, fourcc.data(), 4);
    }
    WriteFile(avi.path, avi.bytes);
    return avi;
  }

  // The smallest file the program takes as a sample: a RIFF AVI header with
  // an empty movie list.
  std::string HandmadeSample() const {
    ByteVector avi;
    Append(avi, "RIFF");
    AppendLittleEndian<4>(avi, 4 + 8 + 4 + 8 + 56 + 8 + 4);
    Append(avi, "AVI LIST");
    AppendLittleEndian<4>(avi, 4 + 8 + 56);
    Append(avi, "hdrlavih");
    AppendLittleEndian<4>(avi, 56);
    avi.resize(avi.size() + 56);
    Append(avi, "LIST");
    AppendLittleEndian<4>(avi, 4);
    Append(avi, "movi");
    const std::string path = Path(UniqueName("handmade"));
    WriteFile(path, avi);
    return path;
  }

  std::string WriteTarget(const std::string& name, const ByteVector& bytes) const {
    const std::string path = Path(name);
    WriteFile(path, bytes);
    return path;
  }

  // The names of the .AVI files in folder, sorted by their number.
  static std::vector<std::string> AviFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing))
      if (entry.path().extension() == ".AVI") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
  }

  static std::vector<std::string> Numbered(int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(std::to_string(i) + ".AVI");
    return names;
  }

  // The header the program caches for a sample must be gone after a session,
  // from whichever process folder of the cache it was captured into.
  static void ExpectCacheClean(const std::string& samplePath) {
    const std::string name = fs::path(samplePath).filename().string() + ".bin";
    std::error_code missing;
    for (const auto& folder : fs::directory_iterator(fs::path(FRAMBIT_CLI).parent_path() / "Cache", missing)) {
      EXPECT_FALSE(fs::exists(folder.path() / name)) << folder.path() / name;
      EXPECT_FALSE(fs::exists(folder.path() / (name + ".part"))) << folder.path() / name;
    }
  }

  // Frames ffprobe decodes in the first video stream; err gets its complaints.
  CliResult Probe(const std::string& path) const {
    return Spawn({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                  "stream=nb_read_frames", "-of", "csv=p=0", path},
                 Path("ffprobe.stdout"), Path("ffprobe.stderr"));
  }

  TempDir dir_;
};

// A chain of `count` chunks of `dataBytes` behind `noise` bytes of noise.
// Returns the run the program must write: [first chunk, last chunk).
std::pair<std::int64_t, std::int64_t> AddChain(ChunkBuilder& target, std::size_t noise, const std::string& id,
                                               int count, std::uint32_t dataBytes) {
  target.Noise(noise);
  const std::int64_t start = target.Size();
  std::int64_t last = start;
  for (int i = 0; i < count; ++i) last = target.Chunk(id, dataBytes);
  return {start, last};
}

std::span<const std::byte> Slice(const ByteVector& bytes, std::pair<std::int64_t, std::int64_t> range) {
  return std::span<const std::byte>(bytes).subspan(static_cast<std::size_t>(range.first),
                                                   static_cast<std::size_t>(range.second - range.first));
}

// Real movie data, stripped of its AVI around it and laid into noise at an
// unaligned place, comes back as a file that is the sample's header plus every
// chunk but the closing one, and that ffprobe decodes without complaint.
TEST_F(EndToEnd, RecoversRealMovieDataBehindTheSampleHeader) {
  if (!FfmpegPresent()) GTEST_SKIP() << kNoFfmpeg;
  struct Case {
    const char* name;
    std::vector<std::string> codec;
    const char* fourcc;
    std::int64_t embedAt;    // where the movie data starts in the target
    std::size_t noiseAfter;  // 0: the target ends with the movie data
  };
  const Case cases[] = {
      // The first chunk header straddles the second block boundary; odd
      // chunk sizes with pad bytes; the target ends where the data ends.
      {"mjpeg", {"-c:v", "mjpeg"}, "00dc", 2 * kBlock - 3, 0},
      // The sixth chunk header (chunks are 9224 bytes) straddles the first
      // block boundary, five bytes before it.
      {"rawvideo", {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}, "00db", kBlock - 5 - 5 * 9224, 4099},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Avi source = MakeAvi(std::string(c.name) + "-source.avi", c.codec, 10, "testsrc", c.fourcc);
    const Avi sample = MakeAvi(UniqueName(std::string(c.name) + "-sample"), c.codec, 25, "smptebars", c.fourcc);
    const ByteVector payload = MoviPayload(source.bytes);
    const std::vector<Chunk> chunks = ChunksIn(payload, 0, payload.size());
    ASSERT_EQ(chunks.size(), 10u);
    for (const Chunk& chunk : chunks) ASSERT_EQ(chunk.id, c.fourcc);

    ChunkBuilder target;
    target.Noise(static_cast<std::size_t>(c.embedAt));
    target.Raw(payload);
    target.Noise(c.noiseAfter);
    const std::string output = Path(std::string(c.name) + "-out");
    const CliResult run =
        Recover("recover", WriteTarget(std::string(c.name) + ".img", target.Bytes()), sample.path, output);

    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(AviFilesIn(output), Numbered(1));
    const ByteVector expected = Concat(SampleHeader(sample.bytes), std::span(payload).first(chunks.back().offset));
    EXPECT_TRUE(HoldsExactly(output + "/1.AVI", expected));
    ExpectSummary(run.out, target.Size(), 10, 1, static_cast<std::int64_t>(expected.size()));
    ExpectCacheClean(sample.path);

    const CliResult probe = Probe(output + "/1.AVI");
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out, "9\n");
    EXPECT_EQ(probe.err, "");
  }
}

// Offsets past 4 GiB survive the scan, the sort and the output: one stream's
// first header straddles the 4 GiB mark, another lies beyond it at an odd
// offset, in a sparse image.
TEST_F(EndToEnd, RecoversMovieDataPastFourGiB) {
  if (!FfmpegPresent()) GTEST_SKIP() << kNoFfmpeg;
  const Avi source = MakeAvi("source.avi", {"-c:v", "mjpeg"}, 10, "testsrc");
  const Avi sample = MakeAvi(UniqueName("sample"), {"-c:v", "mjpeg"}, 10, "smptebars");
  const ByteVector payload = MoviPayload(source.bytes);
  const std::size_t lastChunk = ChunksIn(payload, 0, payload.size()).back().offset;
  const std::int64_t places[] = {kFourGiB - 5, kFourGiB + 2 * kBlock + 12345};
  const std::string image = Path("big.img");
  {
    const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, kFourGiB + (1 << 20)), 0) << std::strerror(errno);
    for (std::int64_t at : places)
      ASSERT_EQ(::pwrite(fd, payload.data(), payload.size(), at), static_cast<ssize_t>(payload.size()));
    ::close(fd);
  }
  const CliResult run = Recover("recover", image, sample.path, Path("out"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(AviFilesIn(Path("out")), Numbered(2));
  const ByteVector expected = Concat(SampleHeader(sample.bytes), std::span(payload).first(lastChunk));
  for (const std::string& name : Numbered(2)) EXPECT_TRUE(HoldsExactly(Path("out/" + name), expected));
  ExpectSummary(run.out, kFourGiB + (1 << 20), 20, 2, 2 * static_cast<std::int64_t>(expected.size()));
}

// Nothing is scanned or written before all three inputs are chosen, and the
// first missing one is named.
TEST_F(EndToEnd, NamesTheFirstMissingInput) {
  ChunkBuilder chunks;
  AddChain(chunks, 100, "00dc", 3, 501);  // would give one file
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  const std::string sample = HandmadeSample();
  const std::string output = Path("out");
  struct Case {
    const char* name;
    bool target, sample, output;
    const char* message;
  };
  const Case cases[] = {
      {"nothing chosen", false, false, false, kNoTarget},
      {"no target", false, true, true, kNoTarget},
      {"no output folder", true, true, false, kNoOutput},
      {"no sample", true, false, true, kNoSample},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"recover"};
    if (c.target) args.insert(args.end(), {"--target", target});
    if (c.sample) args.insert(args.end(), {"--sample", sample});
    if (c.output) args.insert(args.end(), {"--output", output});
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, std::string(c.message) + "\n");
    EXPECT_FALSE(Contains(run.out, "碎片")) << run.out;
    EXPECT_EQ(AviFilesIn(output), std::vector<std::string>{});
    ExpectCacheClean(sample);
  }
}

// A session that finds no run ends normally and says what it found.
TEST_F(EndToEnd, TargetsWithoutARunWriteNothing) {
  const std::string sample = HandmadeSample();
  ChunkBuilder noise;
  noise.Noise(3 * kBlock + 17);
  ChunkBuilder lone;
  lone.Noise(kBlock - 4);  // the header straddles the block boundary
  lone.Chunk("00dc", 999);
  lone.Noise(5000);
  struct Case {
    const char* name;
    ByteVector bytes;
    int hits;
  };
  const Case cases[] = {
      {"empty target", {}, 0},
      {"noise only", noise.Bytes(), 0},
      {"a lone chunk", lone.Bytes(), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = Path(std::string(c.name) + " out");
    const CliResult run = Recover("recover", WriteTarget(std::string(c.name) + ".img", c.bytes), sample, output);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(AviFilesIn(output), std::vector<std::string>{});
    ExpectSummary(run.out, static_cast<std::int64_t>(c.bytes.size()), c.hits, 0, 0);
    EXPECT_FALSE(Contains(run.out, "恢复的文件在")) << run.out;
    ExpectCacheClean(sample);
  }
}

// The output folder is created when missing, and an earlier 1.AVI that is
// longer than the new one is replaced, not overwritten in front.
TEST_F(EndToEnd, WritesIntoAnyOutputFolder) {
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  const auto run = AddChain(chunks, 333, "00dc", 4, 1001);
  chunks.Noise(100);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  const ByteVector expected = Concat(SampleHeader(ReadFile(sample)), Slice(chunks.Bytes(), run));

  fs::create_directories(Path("used"));
  WriteFile(Path("used/1.AVI"), ByteVector(3 * expected.size(), std::byte{'x'}));
  const std::string folders[] = {Path("missing/and/nested"), Path("used")};
  for (const std::string& output : folders) {
    SCOPED_TRACE(output);
    const CliResult result = Recover("recover", target, sample, output);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(AviFilesIn(output), Numbered(1));
    EXPECT_TRUE(HoldsExactly(output + "/1.AVI", expected));
  }
}

// "recover" also takes 00__ chunks; the other two commands take only 00db and
// 00dc.
TEST_F(EndToEnd, OnlyRecoverTakesUnderscoreChunks) {
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  const auto video = AddChain(chunks, 1000, "00dc", 3, 777);
  const auto underscore = AddChain(chunks, 1000, "00__", 4, 333);
  chunks.Noise(1000);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  const ByteVector header = SampleHeader(ReadFile(sample));
  struct Case {
    const char* command;
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    int hits;
  };
  const Case cases[] = {
      {"recover", {video, underscore}, 7},
      {"full-disk", {video}, 3},
      {"free-space", {video}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string output = Path(std::string(c.command) + "-out");
    const CliResult result = Recover(c.command, target, sample, output);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(SummaryLine(result.out, "碎片: "), "碎片: " + std::to_string(c.hits));
    ASSERT_EQ(AviFilesIn(output), Numbered(static_cast<int>(c.runs.size())));
    for (std::size_t i = 0; i < c.runs.size(); ++i)
      EXPECT_TRUE(HoldsExactly(output + "/" + std::to_string(i + 1) + ".AVI",
                               Concat(header, Slice(chunks.Bytes(), c.runs[i]))));
  }
}

// A write-protected image is recovered like any other and stays as it was.
// Root may write it anyway, so its bytes and its modification time are
// compared too.
TEST_F(EndToEnd, LeavesAReadOnlyTargetUntouched) {
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  const auto run = AddChain(chunks, kBlock + 3, "00dc", 5, 4097);
  chunks.Noise(10);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  // A time long past, so that any write would show.
  fs::last_write_time(target, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  const fs::file_time_type before = fs::last_write_time(target);
  // Reports an open for writing even when nothing was written.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0) << std::strerror(errno);
  ASSERT_GE(::inotify_add_watch(watch, target.c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB), 0);

  const CliResult result = Recover("recover", target, sample, Path("out"));
  alignas(inotify_event) char events[4096];
  const ssize_t got = ::read(watch, events, sizeof events);
  const int readError = errno;
  ::close(watch);
  EXPECT_EQ(got, -1) << "the target was opened for writing, written or changed";
  EXPECT_EQ(readError, EAGAIN);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  ASSERT_EQ(AviFilesIn(Path("out")), Numbered(1));
  EXPECT_TRUE(HoldsExactly(Path("out/1.AVI"), Concat(SampleHeader(ReadFile(sample)), Slice(chunks.Bytes(), run))));
  EXPECT_TRUE(HoldsExactly(target, chunks.Bytes()));
  EXPECT_TRUE(fs::last_write_time(target) == before) << "the target's modification time changed";
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// An image that lies in the output folder under the name of the first output
// file is refused as that file, not cut to length 0.
TEST_F(EndToEnd, NeverWritesOverTheTarget) {
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  AddChain(chunks, 50, "00dc", 3, 2001);
  fs::create_directories(Path("out"));
  const std::string target = WriteTarget("out/1.AVI", chunks.Bytes());

  const CliResult result = Recover("recover", target, sample, Path("out"));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(Contains(result.err, "为保护目标不予覆盖")) << result.err;
  EXPECT_TRUE(HoldsExactly(target, chunks.Bytes()));
}

// Ctrl-C ends the scan after the current block; the runs found before it are
// still written and the session counts as finished.
TEST_F(EndToEnd, CtrlCStopsTheScanButWritesWhatWasFound) {
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  const auto run = AddChain(chunks, 100, "00dc", 4, 3001);
  chunks.Noise(10);
  const std::int64_t imageSize = 2 * kFourGiB;  // sparse: far more than is scanned before the stop
  const std::string image = Path("big.img");
  WriteFile(image, chunks.Bytes());
  ASSERT_EQ(::truncate(image.c_str(), imageSize), 0) << std::strerror(errno);

  Child cli(CliArgs({"recover", "--target", image, "--sample", sample, "--output", Path("out")}), Path("cli.stdout"),
            Path("cli.stderr"));
  ASSERT_GT(cli.Pid(), 0);
  // Interrupted only once the scan is surely under way.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (BytesReadBy(cli.Pid()) < 4 * kBlock && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(::kill(cli.Pid(), SIGINT), 0);
  const CliResult result = cli.Wait();

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "已停止: 扫描到 ")) << result.out;
  const std::string scanned = SummaryLine(result.out, "扫描: ");
  ASSERT_TRUE(scanned.starts_with("扫描: ")) << result.out;
  EXPECT_LT(std::stoll(scanned.substr(std::string("扫描: ").size())), imageSize);
  ASSERT_EQ(AviFilesIn(Path("out")), Numbered(1));
  EXPECT_TRUE(HoldsExactly(Path("out/1.AVI"), Concat(SampleHeader(ReadFile(sample)), Slice(chunks.Bytes(), run))));
  ExpectCacheClean(sample);
}

// Whatever is not an AVI with a movie list is refused as a sample before the
// scan starts.
TEST_F(EndToEnd, RefusesASampleThatIsNoAvi) {
  ChunkBuilder chunks;
  AddChain(chunks, 100, "00dc", 3, 501);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  ByteVector withoutMovi;
  Append(withoutMovi, "RIFF");
  AppendLittleEndian<4>(withoutMovi, 16);
  Append(withoutMovi, "AVI LIST");
  AppendLittleEndian<4>(withoutMovi, 4);
  Append(withoutMovi, "hdrl");
  struct Case {
    const char* name;
    ByteVector bytes;
    bool exists;
  };
  const Case cases[] = {
      {"text", Bytes("this is a text file, not a video\n"), true},
      {"wave", Bytes(std::string("RIFF\x24\0\0\0WAVEfmt movi", 20)), true},
      {"empty", {}, true},
      {"without-movi", withoutMovi, true},
      {"missing", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string sample = Path(UniqueName(c.name));
    if (c.exists) WriteFile(sample, c.bytes);
    const std::string output = Path(std::string(c.name) + "-out");
    const CliResult run = Recover("recover", target, sample, output);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.starts_with(kSampleUnreadable)) << run.err;
    EXPECT_TRUE(Contains(run.err, sample)) << run.err;
    EXPECT_FALSE(Contains(run.out, "碎片")) << run.out;
    EXPECT_EQ(AviFilesIn(output), std::vector<std::string>{});
    ExpectCacheClean(sample);
  }
}

// When the output disk fills up, the session fails, names the file it cut
// short, and the files before it are complete.
TEST_F(EndToEnd, ReportsAFullOutputDisk) {
  const std::string output = Path("small-disk");
  const TmpfsMount disk(output, "size=256k");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a 256 KiB tmpfs to fill up (" << disk.Error() << "); needs root";
  const std::string sample = HandmadeSample();
  ChunkBuilder chunks;
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;
  for (int i = 0; i < 4; ++i) runs.push_back(AddChain(chunks, 333, "00dc", 12, 9001));  // ~97 KiB a file
  chunks.Noise(333);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  const ByteVector header = SampleHeader(ReadFile(sample));

  const CliResult result = Recover("recover", target, sample, output);
  EXPECT_EQ(result.exitCode, 1);
  ASSERT_EQ(AviFilesIn(output), Numbered(3));
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(
        HoldsExactly(output + "/" + std::to_string(i + 1) + ".AVI", Concat(header, Slice(chunks.Bytes(), runs[i]))));
  const ByteVector cut = ReadFile(output + "/3.AVI");
  const ByteVector whole = Concat(header, Slice(chunks.Bytes(), runs[2]));
  ASSERT_LT(cut.size(), whole.size());
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin())) << "3.AVI holds bytes other than the run's";
  EXPECT_TRUE(Contains(result.err, output + "/3.AVI")) << result.err;
  EXPECT_TRUE(Contains(result.err, "不完整（只写入了 " + std::to_string(cut.size()) + " 字节）")) << result.err;
  ExpectCacheClean(sample);
}

// A command line the program does not understand is a usage error; it
// touches nothing.
TEST_F(EndToEnd, RejectsAnUnknownCommandLine) {
  const std::string sample = HandmadeSample();
  const std::string target = WriteTarget("target.img", Bytes("00dc"));
  const std::string output = Path("out");
  const std::vector<std::vector<std::string>> commandLines = {
      {"undelete", "--target", target, "--sample", sample, "--output", output},
      {"--target", target, "--sample", sample, "--output", output},
      {"recover", "--target", target, "--sample", sample, "--output", output, "--fast"},
      {"recover", "--target", target, "--sample", sample, "--output"},
      {"recover", "full-disk", "--target", target, "--sample", sample, "--output", output},
  };
  for (const auto& args : commandLines) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CliResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_FALSE(fs::exists(output));
  }
}


// A FAT16 card image holding one intact video and the clusters of a deleted
// one, both written and the second deleted by mtools: free-space recovers
// only the deleted video, full-disk both, each as one file; with its table
// damaged, free-space says so and scans the whole card.
TEST_F(EndToEnd, FreeSpaceRecoversOnlyTheDeletedVideo) {
  if (!FfmpegPresent()) GTEST_SKIP() << kNoFfmpeg;
  const Avi intact = MakeAvi("intact.avi", {"-c:v", "mjpeg"}, 10, "testsrc");
  const Avi deleted = MakeAvi("deleted.avi", {"-c:v", "mjpeg"}, 12, "rgbtestsrc");
  const Avi sample = MakeAvi(UniqueName("sample"), {"-c:v", "mjpeg"}, 10, "smptebars");
  const std::string image = Path("card.img");
  ::setenv("MTOOLS_SKIP_CHECK", "1", 1);
  const std::vector<std::vector<std::string>> steps = {
      {"mkfs.vfat", "-C", "-F", "16", "-s", "2", image, "8192"},
      {"mcopy", "-i", image, intact.path, "::intact.avi"},
      {"mcopy", "-i", image, deleted.path, "::deleted.avi"},
      {"mdel", "-i", image, "::deleted.avi"},
  };
  for (const auto& step : steps) {
    const CliResult made = Spawn(step, Path("tool.stdout"), Path("tool.stderr"));
    ASSERT_EQ(made.exitCode, 0) << step[0] << ": " << made.err << " (./test installs dosfstools and mtools)";
  }
  const auto expected = [&](const Avi& avi) {
    const ByteVector payload = MoviPayload(avi.bytes);
    return Concat(SampleHeader(sample.bytes), std::span(payload).first(ChunksIn(payload, 0, payload.size()).back().offset));
  };

  const CliResult freeSpace = Recover("free-space", image, sample.path, Path("free"));
  ASSERT_EQ(freeSpace.exitCode, 0) << freeSpace.err;
  ASSERT_EQ(AviFilesIn(Path("free")), Numbered(1));
  EXPECT_TRUE(HoldsExactly(Path("free/1.AVI"), expected(deleted)));
  EXPECT_LT(std::stoll(SummaryLine(freeSpace.out, "扫描: ").substr(std::strlen("扫描: "))),
            static_cast<std::int64_t>(fs::file_size(image)));

  const CliResult fullDisk = Recover("full-disk", image, sample.path, Path("full"));
  ASSERT_EQ(fullDisk.exitCode, 0) << fullDisk.err;
  ASSERT_EQ(AviFilesIn(Path("full")), Numbered(2));
  EXPECT_TRUE(HoldsExactly(Path("full/1.AVI"), expected(intact)));
  EXPECT_TRUE(HoldsExactly(Path("full/2.AVI"), expected(deleted)));

  const CliResult runs = RunCli({"free-runs", "--target", image});
  ASSERT_EQ(runs.exitCode, 0) << runs.err;
  EXPECT_TRUE(runs.out.starts_with("SectorsPerCluster: 2\nBytesPerSector: 512\nFreeClusters: ")) << runs.out;
  EXPECT_TRUE(Contains(runs.out, "\nFirstClusterOffset: ")) << runs.out;

  // Cluster 7's table entry now points past the last cluster.
  {
    std::fstream card(image, std::ios::in | std::ios::out | std::ios::binary);
    char boot[512];
    card.read(boot, sizeof boot);
    const int reserved = static_cast<unsigned char>(boot[14]) | static_cast<unsigned char>(boot[15]) << 8;
    card.seekp(reserved * 512 + 7 * 2);
    card.write("\x00\xFF", 2);
  }
  const CliResult damaged = Recover("free-space", image, sample.path, Path("damaged"));
  ASSERT_EQ(damaged.exitCode, 0) << damaged.err;
  EXPECT_TRUE(Contains(damaged.err, "C0000032")) << damaged.err;
  EXPECT_EQ(AviFilesIn(Path("damaged")), Numbered(2));
  EXPECT_EQ(RunCli({"free-runs", "--target", image}).exitCode, 1);
}

// "智能恢复" end to end: real AVIs with sound, made headerless inside noise,
// come back as files that decode like the originals.
class SmartEndToEnd : public EndToEnd {
 protected:
  static bool EncoderPresent(const std::string& name) {
    const TempDir scratch;
    const CliResult listed = Spawn({"ffmpeg", "-hide_banner", "-encoders"}, scratch / "o", scratch / "e");
    return Contains(listed.out, " " + name + " ");
  }

  // seconds of the lavfi `pattern` at 10 frames a second with a sine tone.
  Avi MakeAviWithSound(const std::string& name, const std::vector<std::string>& codecs, int seconds,
                       const std::string& pattern, int toneHz) const {
    Avi avi{Path(name), {}};
    std::vector<std::string> args{"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                  pattern + "=size=64x48:rate=10", "-f", "lavfi", "-i",
                                  "sine=frequency=" + std::to_string(toneHz) + ":sample_rate=22050", "-t",
                                  std::to_string(seconds)};
    args.insert(args.end(), codecs.begin(), codecs.end());
    args.push_back(avi.path);
    const CliResult made = Spawn(args, Path("ffmpeg.stdout"), Path("ffmpeg.stderr"));
    EXPECT_EQ(made.exitCode, 0) << made.err;
    avi.bytes = ReadFile(avi.path);
    return avi;
  }

  // What ffprobe reads of a file: decoded video frames, audio packets, the
  // duration, the key-frame flags of the video packets as the index gives
  // them, and its complaints.
  struct Probed {
    std::string videoFrames, audioPackets, duration, keyFlags, err;
  };
  Probed ProbeStreams(const std::string& path) const {
    Probed probed;
    const CliResult video = Spawn({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                                   "stream=nb_read_frames", "-of", "csv=p=0", path},
                                  Path("ffprobe.stdout"), Path("ffprobe.stderr"));
    const CliResult audio = Spawn({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "a:0",
                                   "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                                  Path("ffprobe.stdout"), Path("ffprobe.stderr"));
    const CliResult format = Spawn({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path},
                                   Path("ffprobe.stdout"), Path("ffprobe.stderr"));
    const CliResult keys = Spawn({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=flags",
                                  "-of", "csv=p=0", path},
                                 Path("ffprobe.stdout"), Path("ffprobe.stderr"));
    return {video.out, audio.out, format.out, keys.out, video.err + audio.err + format.err + keys.err};
  }

  // ffmpeg's complaints when it decodes the file whole, and when it starts
  // at secondsIn; "" when there are none.
  std::string DecodeErrors(const std::string& path, double secondsIn) const {
    const CliResult whole = Spawn({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"},
                                  Path("decode.stdout"), Path("decode.stderr"));
    const CliResult sought = Spawn({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(secondsIn), "-i", path,
                                    "-frames:v", "5", "-f", "null", "-"},
                                   Path("decode.stdout"), Path("decode.stderr"));
    std::string errors = whole.err + sought.err;
    if (whole.exitCode != 0 || sought.exitCode != 0) errors += "ffmpeg failed";
    return errors;
  }
};

// What the carving commands give for a movie list alone in noise: its
// chunks with one of ids and a non-zero size are the hits; each stretch of
// hits that lie at one another's end (or one pad byte later) is the sample
// header plus the stretch without its closing chunk.
std::vector<ByteVector> CarvedFiles(const ByteVector& header, const ByteVector& payload,
                                    const std::vector<std::string>& ids) {
  std::vector<Chunk> hits;
  for (const Chunk& chunk : ChunksIn(payload, 0, payload.size()))
    if (chunk.size != 0 && std::find(ids.begin(), ids.end(), chunk.id) != ids.end()) hits.push_back(chunk);
  std::vector<ByteVector> files;
  for (std::size_t i = 0; i < hits.size();) {
    std::size_t j = i;
    while (j + 1 < hits.size() && hits[j + 1].offset - hits[j].offset - 8 - hits[j].size <= 1) ++j;
    if (j > i) files.push_back(Concat(header, std::span(payload).subspan(hits[i].offset, hits[j].offset - hits[i].offset)));
    i = j + 1;
  }
  return files;
}

TEST_F(SmartEndToEnd, RecoversVideoWithSoundThatPlaysAndSeeks) {
  if (!FfmpegPresent()) GTEST_SKIP() << kNoFfmpeg;
  struct Case {
    const char* name;
    std::vector<std::string> codecs;
    std::vector<std::string> encoders;  // the case needs them in this ffmpeg
  };
  const Case cases[] = {
      {"mjpeg-pcm", {"-c:v", "mjpeg", "-c:a", "pcm_s16le"}, {"mjpeg", "pcm_s16le"}},
      // Key frames every ten frames: the index must tell them from the rest.
      {"mpeg4-mp3", {"-c:v", "mpeg4", "-g", "10", "-c:a", "libmp3lame"}, {"mpeg4", "libmp3lame"}},
      {"h264-ac3", {"-c:v", "libx264", "-g", "10", "-bf", "2", "-c:a", "ac3"}, {"libx264", "ac3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!std::all_of(c.encoders.begin(), c.encoders.end(), EncoderPresent)) {
      std::printf("skipped %s: this ffmpeg lacks one of its encoders\n", c.name);
      continue;
    }
    const Avi source = MakeAviWithSound(std::string(c.name) + "-source.avi", c.codecs, 6, "testsrc", 440);
    const Avi sample = MakeAviWithSound(UniqueName(std::string(c.name) + "-sample"), c.codecs, 2, "smptebars", 300);
    const ByteVector payload = MoviPayload(source.bytes);
    ChunkBuilder target;
    target.Noise(static_cast<std::size_t>(kBlock - 3));  // the first header straddles a block boundary
    target.Raw(payload);
    target.Noise(777);
    const std::string image = WriteTarget(std::string(c.name) + ".img", target.Bytes());
    const std::string output = Path(std::string(c.name) + "-out");

    const CliResult run = Recover("smart", image, sample.path, output);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(AviFilesIn(output), Numbered(1));
    ExpectCacheClean(sample.path);
    const std::string recovered = output + "/1.AVI";
    const Probed original = ProbeStreams(source.path);
    const Probed got = ProbeStreams(recovered);
    EXPECT_EQ(got.videoFrames, original.videoFrames);
    EXPECT_EQ(got.audioPackets, original.audioPackets);
    EXPECT_EQ(got.duration, original.duration);
    EXPECT_EQ(got.keyFlags, original.keyFlags);
    EXPECT_EQ(got.err, "");
    EXPECT_EQ(DecodeErrors(recovered, 3.0), "");

    // The three carving commands on the same image give what they always gave.
    const ByteVector header = SampleHeader(sample.bytes);
    const std::pair<const char*, std::vector<std::string>> commands[] = {
        {"recover", {"00db", "00dc", "00__"}}, {"full-disk", {"00db", "00dc"}}, {"free-space", {"00db", "00dc"}}};
    for (const auto& [command, ids] : commands) {
      SCOPED_TRACE(command);
      const std::string carved = Path(std::string(c.name) + "-" + command);
      ASSERT_EQ(Recover(command, image, sample.path, carved).exitCode, 0);
      const std::vector<ByteVector> expected = CarvedFiles(header, payload, ids);
      ASSERT_EQ(AviFilesIn(carved), Numbered(static_cast<int>(expected.size())));
      for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(HoldsExactly(carved + "/" + std::to_string(i + 1) + ".AVI", expected[i]));
    }
  }
}

// A run of more than 1 GiB (a sparse image: 1 MiB black raw frames with
// silent sound between them) comes out as OpenDML that ffprobe reads whole:
// a RIFF AVIX after the first RIFF, every frame, the full duration. Behind
// a sample without room for a super index, the run is cut into AVI 1.0
// files of at most 1 GiB of movie data that hold every frame between them.
TEST_F(SmartEndToEnd, WritesARunOverOneGiBAsOpenDml) {
  if (!FfmpegPresent()) GTEST_SKIP() << kNoFfmpeg;
  const std::string sample = Path(UniqueName("raw-sample"));
  const CliResult made =
      Spawn({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "smptebars=size=512x512:rate=10", "-f",
             "lavfi", "-i", "sine=sample_rate=22050", "-t", "1", "-c:v", "rawvideo", "-pix_fmt", "bgra", "-c:a",
             "pcm_s16le", sample},
            Path("ffmpeg.stdout"), Path("ffmpeg.stderr"));
  ASSERT_EQ(made.exitCode, 0) << made.err;
  // ffmpeg reserves a JUNK chunk of 4120 bytes behind each strf for a super
  // index; as a name chunk it is no room for one.
  ByteVector roomless = ReadFile(sample);
  const ByteVector reserved = [] {
    ByteVector tag;
    Append(tag, "JUNK");
    AppendLittleEndian<4>(tag, 4120);
    return tag;
  }();
  int renamed = 0;
  for (auto at = roomless.begin();
       (at = std::search(at, roomless.end(), reserved.begin(), reserved.end())) != roomless.end(); ++renamed)
    std::memcpy(&*at, "strn", 4);
  ASSERT_EQ(renamed, 2);
  const std::string roomlessSample = Path(UniqueName("roomless-sample"));
  WriteFile(roomlessSample, roomless);

  constexpr int kFrames = 1030;
  constexpr std::uint32_t kFrameBytes = 512 * 512 * 4;
  constexpr std::uint32_t kSoundBytes = 4410;  // a tenth of a second
  const std::string image = Path("long-run.img");
  std::int64_t end = 12345;
  {
    const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    for (int i = 0; i < kFrames; ++i) {
      for (const auto& [id, size] : {std::pair{"00dc", kFrameBytes}, std::pair{"01wb", kSoundBytes}}) {
        ByteVector header;
        Append(header, id);
        AppendLittleEndian<4>(header, size);
        ASSERT_EQ(::pwrite(fd, header.data(), header.size(), end), 8);
        end += 8 + size;
      }
    }
    ASSERT_EQ(::ftruncate(fd, end + 1000), 0) << std::strerror(errno);
    ::close(fd);
  }
  ASSERT_GT(end, std::int64_t{1} << 30);

  struct Case {
    const char* name;
    std::string sample;
    int files;
  };
  const Case cases[] = {{"opendml", sample, 1}, {"without-room-for-a-super-index", roomlessSample, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = Path(std::string(c.name) + "-out");
    const CliResult run = Recover("smart", image, c.sample, output);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(AviFilesIn(output), Numbered(c.files));
    int frames = 0;
    double seconds = 0;
    for (const std::string& name : Numbered(c.files)) {
      const std::string recovered = output + "/" + name;
      std::ifstream file(recovered, std::ios::binary);
      char head[12];
      file.read(head, 8);
      const std::uint32_t firstRiff = LoadLittleEndian32(reinterpret_cast<const std::byte*>(head) + 4);
      file.seekg(8 + std::streamoff{firstRiff});
      // An OpenDML file goes on with a RIFF AVIX; an AVI 1.0 file ends.
      const bool more = static_cast<bool>(file.read(head, 12));
      EXPECT_EQ(more, c.files == 1);
      if (more) {
        EXPECT_EQ(std::string(head, 4) + std::string(head + 8, 4), "RIFFAVIX");
      }

      const CliResult probe =
          Spawn({"ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                 "stream=nb_read_packets", "-show_entries", "format=duration", "-of", "csv=p=0", recovered},
                Path("ffprobe.stdout"), Path("ffprobe.stderr"));
      EXPECT_EQ(probe.err, "");
      std::istringstream lines(probe.out);
      int filePackets = 0;
      double fileSeconds = 0;
      lines >> filePackets >> fileSeconds;
      frames += filePackets;
      seconds += fileSeconds;
      EXPECT_EQ(DecodeErrors(recovered, fileSeconds / 2), "");
    }
    EXPECT_EQ(frames, kFrames);
    EXPECT_DOUBLE_EQ(seconds, kFrames / 10.0);
  }
}

// A sample whose header list cannot be trusted is refused before the scan
// with the reason, and nothing is written.
TEST_F(SmartEndToEnd, RefusesAnUnusableSampleHeader) {
  ChunkBuilder chunks;
  AddChain(chunks, 100, "00dc", 3, 501);
  const std::string target = WriteTarget("target.img", chunks.Bytes());
  // RIFF AVI  LIST hdrl <hdrl> LIST movi, with the hdrl list's size taken
  // from its contents unless told.
  const auto sample = [](const ByteVector& hdrl, std::optional<std::uint32_t> hdrlSize = std::nullopt) {
    ByteVector avi;
    Append(avi, "RIFF");
    AppendLittleEndian<4>(avi, static_cast<std::uint32_t>(4 + 12 + hdrl.size() + 12));
    Append(avi, "AVI LIST");
    AppendLittleEndian<4>(avi, hdrlSize.value_or(static_cast<std::uint32_t>(4 + hdrl.size())));
    Append(avi, "hdrl");
    avi.insert(avi.end(), hdrl.begin(), hdrl.end());
    Append(avi, "LIST");
    AppendLittleEndian<4>(avi, 4);
    Append(avi, "movi");
    return avi;
  };
  const auto chunk = [](const std::string& id, const ByteVector& data) {
    ByteVector bytes;
    Append(bytes, id);
    AppendLittleEndian<4>(bytes, static_cast<std::uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
  };
  const auto list = [&](const std::string& type, const std::vector<ByteVector>& contents) {
    ByteVector data;
    Append(data, type);
    for (const ByteVector& part : contents) data.insert(data.end(), part.begin(), part.end());
    return chunk("LIST", data);
  };
  const auto strh = [&](const std::string& type) {
    ByteVector data;
    Append(data, type);
    data.resize(56);
    return chunk("strh", data);
  };
  const ByteVector avih = chunk("avih", ByteVector(56));
  const ByteVector video = list("strl", {strh("vids"), chunk("strf", ByteVector(40))});
  const auto join = [](const std::vector<ByteVector>& parts) {
    ByteVector joined;
    for (const ByteVector& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
  };
  std::vector<ByteVector> thousands{avih};
  for (int i = 0; i < 5000; ++i) thousands.push_back(video);
  ByteVector shortStrh = strh("vids");
  shortStrh.resize(8 + 20);
  shortStrh[4] = std::byte{20};
  ByteVector strhPastList = strh("vids");
  strhPastList[4] = std::byte{200};

  struct Case {
    const char* name;
    ByteVector bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"hdrl-past-its-end", sample(join({avih, video}), 5000), "第 12 字节处的数据块大小超出了它所在的列表"},
      {"strh-past-its-list", sample(join({avih, list("strl", {strhPastList})})), "字节处的数据块大小超出了它所在的列表"},
      {"cut-short", sample(join({avih, video, Bytes("JUNK\x10")})), "文件头在第 "},
      {"thousands-of-streams", sample(join(thousands)), "有 5000 个流，最多支持 100 个"},
      {"no-avih", sample(video), "缺少 avih 主文件头"},
      {"stream-without-strh", sample(join({avih, list("strl", {chunk("strf", ByteVector(40))})})),
       "第 0 号流缺少 strh 流头"},
      {"strh-too-short", sample(join({avih, list("strl", {shortStrh})})), "文件头在第 "},
      {"text-only", sample(join({avih, list("strl", {strh("txts")})})), "没有视频流或音频流"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(UniqueName(c.name));
    WriteFile(path, c.bytes);
    const std::string output = Path(std::string(c.name) + "-out");
    const CliResult run = Recover("smart", target, path, output);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.starts_with(kSampleUnreadable)) << run.err;
    EXPECT_TRUE(Contains(run.err, c.reason)) << run.err;
    EXPECT_TRUE(Contains(run.err, fs::path(path).filename().string())) << run.err;
    EXPECT_FALSE(Contains(run.out, "碎片")) << run.out;
    EXPECT_EQ(AviFilesIn(output), std::vector<std::string>{});
    ExpectCacheClean(path);
  }
}

}  // namespace
}  // namespace frambit::test
