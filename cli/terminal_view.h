#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/session_state.h"
#include "engine/session_view.h"

namespace frambit::cli {

// The engine's face on a terminal. Messages go to standard error; on a
// terminal a progress line there shows percentage, speed, remaining time and
// hits. Ctrl-C acts as the stop command.
class TerminalView final : public SessionView {
 public:
  TerminalView(SessionState& state, std::string target, std::string outputFolder);

  void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override;
  void SetProgress(std::int64_t value) override;
  void ShowFragmentCount(std::int64_t count) override;
  void ShowMessage(const std::string& text) override;
  bool AskContinue() override { return true; }
  void ProcessMessages() override;
  std::string SourceText() override { return target_; }
  std::string OutputFolderText() override { return outputFolder_; }
  void ClearScanFreeOnly() override {}
  void SetCommandsEnabled(bool) override {}
  void SetTimerEnabled(bool enabled) override;
  void ResetTimeCaption() override {}
  void RefreshFileList() override {}

 private:
  void DrawProgress();
  void ClearProgressLine();

  SessionState& state_;
  std::string target_;
  std::string outputFolder_;
  bool drawProgress_;
  bool stopRequested_ = false;
  // A scan sets the range once; a second range is the fragment output.
  int rangesSeen_ = 0;
  std::int64_t maximum_ = 0;
  std::int64_t value_ = 0;
  std::int64_t hits_ = 0;
  bool lineShown_ = false;
  std::chrono::steady_clock::time_point phaseStart_{};
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace frambit::cli
