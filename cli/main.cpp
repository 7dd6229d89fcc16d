// frambit-cli: the recovery sessions of the window, driven from a terminal.
//
// Exit status: 0 when a session ran to its end (also when it found nothing
// or was stopped with Ctrl-C), 1 when an error or a missing input was
// reported, 2 for a usage error.

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdio>
#include <exception>
#include <string>

#include "cli/target_commands.h"
#include "cli/terminal_view.h"
#include "engine/free_space_session.h"
#include "engine/sample_capture.h"
#include "engine/scan_session.h"
#include "engine/smart_session.h"
#include "engine/texts.h"
#include "platform/console.h"
#include "platform/program_paths.h"

namespace {

using namespace frambit;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

using SessionHandler = ScanSummary (*)(SessionState&, SessionView&, const ScanOptions&);

struct Request {
  SessionHandler handler = RunBtnClick;
  std::string target;
  std::string sample;
  std::string output;
};

double PerSecond(std::int64_t bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
}

void PrintSummary(const ScanSummary& summary, const std::string& outputFolder) {
  if (summary.stopped) std::printf("已停止: 扫描到 %lld 字节处时按要求停止。\n", static_cast<long long>(summary.bytesScanned));
  std::printf("%s", fmt::format("扫描: {} 字节, {:.2f} 秒, {:.1f} MB/s\n", summary.bytesScanned, summary.scanSeconds,
                                PerSecond(summary.bytesScanned, summary.scanSeconds))
                        .c_str());
  std::printf("%s%lld\n", texts::kFragmentCountPrefix, static_cast<long long>(summary.hitCount));
  std::printf("%s", fmt::format("输出: {} 个文件, {} 字节, {:.2f} 秒, {:.1f} MB/s\n", summary.output.filesWritten,
                                summary.output.bytesWritten, summary.outputSeconds,
                                PerSecond(summary.output.bytesWritten, summary.outputSeconds))
                        .c_str());
  std::printf("无法读取: %lld 字节\n", static_cast<long long>(summary.unreadableBytes));
  if (summary.output.filesWritten > 0)
    std::printf("恢复的文件在: %s (1.AVI 到 %d.AVI)\n", outputFolder.c_str(), summary.output.filesWritten);
}

int RunSession(const Request& request) {
  SessionState state;
  cli::TerminalView view(state, request.target, request.output.empty() ? texts::kOutputFolderPlaceholder : request.output);
  int status = kExitFailed;
  try {
    // Everything that can be checked before an hours-long scan is checked
    // first, so a typing error does not cost the whole scan.
    if (!request.target.empty()) {
      RecoverySources sources = SystemSources();
      cli::ResolveTarget(state, request.target, sources);
    }
    if (!request.output.empty()) platform::EnsureWritableDirectory(request.output);
    if (!request.sample.empty()) {
      BtnSelectAllClick(state, view, [&] { return std::optional<std::string>(request.sample); });
      if (state.SampleHeaderPath.empty()) return kExitFailed;  // the capture said why
    }
    platform::CatchInterrupt();
    const ScanSummary summary = request.handler(state, view, ScanOptions{});
    if (summary.started) {
      PrintSummary(summary, request.output);
      status = kExitDone;
    }
  } catch (const std::exception& failure) {
    view.ShowMessage(failure.what());
  }
  // A session consumes the sample; one that never started leaves it behind.
  ReleaseSampleHeader(state);
  return status;
}

// "free-runs": the cluster geometry and the free runs a free-space session
// would read, one "first - count" line each.
int PrintFreeRuns(const std::string& target) {
  SessionState state;
  state.SourcePath = target;
  cli::TerminalView view(state, target, texts::kOutputFolderPlaceholder);
  FreeRunList runs;
  if (!LoadFreeRuns(state, view, runs)) return kExitFailed;
  std::printf("SectorsPerCluster: %u\nBytesPerSector: %u\nFreeClusters: %u\nTotalClusters: %u\n",
              state.SectorsPerCluster, state.BytesPerSector, state.FreeClusters, state.TotalClusters);
  std::printf("FirstClusterOffset: %lld\n", static_cast<long long>(runs.firstClusterOffsetBytes));
  for (const FreeRun& run : runs.runs) std::printf("%s\n", FreeRunLine(run).c_str());
  return runs.complete ? kExitDone : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "frambit-cli: 从磁盘镜像、卷或整个磁盘中找回被删除或损坏的 AVI 视频。\n"
      "Recovers deleted or damaged AVI videos from a disk image, a volume or a whole disk.\n\n"
      "It scans the target for AVI movie chunks, joins the chunks that follow each other into\n"
      "runs, and writes every run as 1.AVI, 2.AVI, ... into the output folder behind the header\n"
      "of an intact sample video (take one recorded by the same camera with the same settings).\n"
      "The target is only ever read. Existing 1.AVI, 2.AVI, ... in the output folder are replaced.\n"
      "Ctrl-C stops the scan; what was found so far is still written.\n"
      "smart follows the chains of the sample's video and sound chunks instead and fits the header\n"
      "and an index to every run, so the files play with their sound and can be seeked.\n\n"
      "Example: frambit-cli recover --target card.img --sample good.avi --output recovered/",
      "frambit-cli"};
  app.require_subcommand(1);
  Request request;
  struct Command {
    const char* name;
    SessionHandler handler;
    const char* help;
  };
  const Command commands[] = {
      {"recover", RunBtnClick, "恢复: scan the whole target for 00db, 00dc and 00__ chunks"},
      {"full-disk", N9Click, "全盘恢复: scan the whole target for 00db and 00dc chunks"},
      {"free-space", N10Click,
       "恢复剩余空间: scan only the clusters the target's file system marks free, for 00db and 00dc chunks "
       "(FAT12/16/32, exFAT, NTFS, ext2/3/4, also behind an MBR or GPT partition table); without a readable "
       "allocation map the whole target"},
      {"smart", RunSmartSession,
       "智能恢复: the sample's video and sound chunks in chains, each run with a fitted header and index"},
  };
  for (const Command& command : commands) {
    CLI::App* sub = app.add_subcommand(command.name, command.help);
    sub->add_option("--target", request.target, "disk image file, volume or disk device (e.g. card.img, /dev/sdb1)");
    sub->add_option("--sample", request.sample, "an intact AVI file whose header the recovered files take");
    sub->add_option("--output", request.output, "folder for the recovered files; created when missing");
    sub->callback([&request, &command] { request.handler = command.handler; });
  }
  CLI::App* targets = app.add_subcommand("targets", "恢复目标: list the volumes and disks, one a line: caption, tab, --target path");
  std::string freeRunsTarget;
  CLI::App* freeRuns = app.add_subcommand(
      "free-runs", "the cluster geometry and the free cluster runs (first - count) of a target's file system");
  freeRuns->add_option("--target", freeRunsTarget, "disk image file, volume or disk device")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kExitDone : kExitUsage;
  }
  if (targets->parsed()) {
    RecoverySources sources = SystemSources();
    cli::PrintTargets(sources);
    return kExitDone;
  }
  if (freeRuns->parsed()) return PrintFreeRuns(freeRunsTarget);
  return RunSession(request);
}
