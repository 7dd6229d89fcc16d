#include "cli/target_commands.h"

#include <cstdio>

namespace frambit::cli {
namespace {

// The terminal has no Source edit and no check box: the text is the target.
class FixedSource final : public SourceControls {
 public:
  explicit FixedSource(std::string text) : text_(std::move(text)) {}
  std::string SourceText() override { return text_; }
  void SetSourceText(const std::string& text) override { text_ = text; }
  void SetScanFree(bool) override {}
  std::optional<std::string> ChooseImageFile() override { return std::nullopt; }

 private:
  std::string text_;
};

}  // namespace

void PrintTargets(RecoverySources& sources) {
  for (const TargetMenuEntry& entry : BuildTargetMenu(sources)) {
    if (entry.sourceText.empty()) {
      std::printf("%s\n", entry.caption.c_str());
    } else {
      std::printf("%s\t%s\n", entry.caption.c_str(), entry.sourceText.c_str());
    }
  }
}

void ResolveTarget(SessionState& state, const std::string& target, RecoverySources& sources) {
  FixedSource source(target);
  SourceChange(state, source, sources);
}

}  // namespace frambit::cli
