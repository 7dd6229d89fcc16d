#include "cli/terminal_view.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>

#include "engine/scan_session.h"
#include "engine/texts.h"
#include "platform/console.h"

namespace frambit::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr double kGaugeUnitBytes = 1024.0;

std::string MinutesSeconds(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  return fmt::format("{}:{:02}", whole / 60, whole % 60);
}

}  // namespace

TerminalView::TerminalView(SessionState& state, std::string target, std::string outputFolder)
    : state_(state),
      target_(std::move(target)),
      outputFolder_(std::move(outputFolder)),
      drawProgress_(platform::ErrorStreamIsTerminal()) {}

void TerminalView::SetProgressRange(std::int64_t minimum, std::int64_t maximum) {
  ++rangesSeen_;
  maximum_ = maximum - minimum;
  value_ = 0;
  phaseStart_ = std::chrono::steady_clock::now();
}

void TerminalView::SetProgress(std::int64_t value) {
  value_ = value;
  DrawProgress();
}

void TerminalView::ShowFragmentCount(std::int64_t count) { hits_ = count; }

void TerminalView::ShowMessage(const std::string& text) {
  ClearProgressLine();
  std::string shown = text;
  std::replace(shown.begin(), shown.end(), '\r', '\n');
  std::fprintf(stderr, "%s\n", shown.c_str());
}

void TerminalView::ProcessMessages() {
  if (platform::InterruptRequested() && !stopRequested_) {
    stopRequested_ = true;
    // The fragment output does not stop: a file cut short helps nobody.
    ShowMessage(rangesSeen_ < 2 ? "停止: 扫描在当前块之后结束，已找到的碎片照常写出。再按一次 Ctrl-C 立即退出。"
                                : "正在写出已找到的文件，写完即结束。再按一次 Ctrl-C 立即退出（正在写的文件将不完整）。");
    StopBtnClick(state_, *this);
  }
}

void TerminalView::SetTimerEnabled(bool enabled) {
  if (!enabled) ClearProgressLine();
}

void TerminalView::DrawProgress() {
  if (!drawProgress_ || rangesSeen_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const double fraction = maximum_ > 0 ? std::clamp(static_cast<double>(value_) / static_cast<double>(maximum_), 0.0, 1.0) : 0.0;
  const double elapsed = std::chrono::duration<double>(now - phaseStart_).count();
  std::string line;
  if (rangesSeen_ == 1) {
    const double megabytesPerSecond = elapsed > 0 ? static_cast<double>(value_) * kGaugeUnitBytes / elapsed / 1e6 : 0.0;
    const std::string remaining = fraction > 0 ? MinutesSeconds(elapsed * (1 - fraction) / fraction) : "--:--";
    line = fmt::format("扫描 {:5.1f}%  {:8.1f} MB/s  剩余时间: {}  {}{}", fraction * 100, megabytesPerSecond, remaining,
                       texts::kFragmentCountPrefix, hits_);
  } else {
    line = fmt::format("写出文件 {:5.1f}%", fraction * 100);
  }
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  lineShown_ = true;
}

void TerminalView::ClearProgressLine() {
  if (!lineShown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  lineShown_ = false;
}

}  // namespace frambit::cli
