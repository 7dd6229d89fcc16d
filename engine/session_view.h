#pragma once

#include <cstdint>
#include <string>

namespace frambit {

// What the engine asks of the face that shows it. Every call happens on the
// engine's thread and returns at once, except the two modal ones.
class SessionView {
 public:
  virtual ~SessionView() = default;

  // The gauge. A scan counts in units of 1024 bytes of the target; the
  // fragment output counts pairs of hits.
  virtual void SetProgressRange(std::int64_t minimum, std::int64_t maximum) = 0;
  virtual void SetProgress(std::int64_t value) = 0;
  // "碎片: " and the number of chunk headers found so far.
  virtual void ShowFragmentCount(std::int64_t count) = 0;

  // A modal information box; returns when the user has read it. "\r" in the
  // text is a line break.
  virtual void ShowMessage(const std::string& text) = 0;
  // The pause question; true when the user chooses to go on.
  virtual bool AskContinue() = 0;
  // Lets waiting user commands (pause, stop, close, the timer) run.
  virtual void ProcessMessages() = 0;

  // The chosen target as source selection wrote it; empty when none.
  virtual std::string SourceText() = 0;
  // The output folder, or the placeholder "...点击选择目录..." when none.
  virtual std::string OutputFolderText() = 0;
  // Unchecks the hidden "仅扫描剩余空间" box.
  virtual void ClearScanFreeOnly() = 0;

  // The steps of the busy cycle.
  virtual void SetCommandsEnabled(bool enabled) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual void ResetTimeCaption() = 0;
  virtual void RefreshFileList() = 0;
};

}  // namespace frambit
