#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/session_view.h"
#include "engine/texts.h"

namespace frambit::test {

// A SessionView that records what the engine shows and answers as told.
class RecordingView : public SessionView {
 public:
  std::string source = "target.img";
  std::string outputFolder = texts::kOutputFolderPlaceholder;
  bool continueAnswer = true;
  // Runs inside every ProcessMessages, as a user's click would.
  std::function<void()> onProcessMessages;

  std::vector<std::string> messages;
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
  std::vector<std::int64_t> progress;
  std::vector<std::int64_t> fragmentCounts;
  std::vector<bool> commandsEnabled;  // one entry per SetCommandsEnabled
  bool commandsAreEnabled = true;
  bool timerRunning = false;
  int processMessagesCalls = 0;
  int clearScanFreeOnlyCalls = 0;
  int timeCaptionResets = 0;
  int fileListRefreshes = 0;

  void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override { ranges.emplace_back(minimum, maximum); }
  void SetProgress(std::int64_t value) override { progress.push_back(value); }
  void ShowFragmentCount(std::int64_t count) override { fragmentCounts.push_back(count); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskContinue() override { return continueAnswer; }
  void ProcessMessages() override {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages();
  }
  std::string SourceText() override { return source; }
  std::string OutputFolderText() override { return outputFolder; }
  void ClearScanFreeOnly() override { ++clearScanFreeOnlyCalls; }
  void SetCommandsEnabled(bool enabled) override {
    commandsEnabled.push_back(enabled);
    commandsAreEnabled = enabled;
  }
  void SetTimerEnabled(bool enabled) override { timerRunning = enabled; }
  void ResetTimeCaption() override { ++timeCaptionResets; }
  void RefreshFileList() override { ++fileListRefreshes; }
};

}  // namespace frambit::test
