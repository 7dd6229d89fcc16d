#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/session_state.h"
#include "platform/disks.h"
#include "platform/input_stream.h"
#include "platform/volumes.h"

namespace frambit {

// What the target menu and the resolution of a target consult. The targets
// are opened through `open`, read-only.
struct RecoverySources {
  platform::VolumeQueries& volumes;
  platform::DiskQueries& disks;
  platform::InputOpener open = platform::OpenInput;
};

// The system's volumes and disks.
RecoverySources SystemSources();

enum class TargetKind { Image, Separator, Volume, Disk };

// One item of the target menu `pop`. Keys are unique within the menu.
struct TargetMenuEntry {
  TargetKind kind = TargetKind::Separator;
  std::string key;         // "Openimage", the device node and "xx", or PhysicalDrive and the number
  std::string caption;
  int imageIndex = -1;     // none for a separator
  std::string sourceText;  // what choosing it writes into Source; empty for the image item
};

// The target menu: the image item, a separator and the listed volumes (when
// there are any), a separator, then the whole disks by number as long as
// each can be opened (at most 256).
std::vector<TargetMenuEntry> BuildTargetMenu(RecoverySources& sources);

// The controls of the window that source selection works on.
class SourceControls {
 public:
  virtual ~SourceControls() = default;
  // The hidden edit Source.
  virtual std::string SourceText() = 0;
  // Sets it without running SourceChange.
  virtual void SetSourceText(const std::string& text) = 0;
  // Enables and checks the hidden "仅扫描剩余空间" box, or disables and unchecks it.
  virtual void SetScanFree(bool enabledAndChecked) = 0;
  // The open-file dialog, with no file name and all files; nullopt when cancelled.
  virtual std::optional<std::string> ChooseImageFile() = 0;
};

// Records the chosen item in SourcePath and in Source and resolves it when
// the text changed; choosing the target that Source already holds re-reads
// nothing.
void TargetItemClick(const TargetMenuEntry& item, SessionState& state, SourceControls& controls,
                     RecoverySources& sources);

// Resolves the text of Source into SourcePath, SourceSize, SourceFileSystem
// and the state of bScanFree. A device is scanned to its exact length. An
// empty text changes nothing else. Throws UserError "Cannot open file ..."
// when the target cannot be opened; SourcePath then already names it while
// the size and file system stay those of the previous target.
void SourceChange(SessionState& state, SourceControls& controls, RecoverySources& sources);

}  // namespace frambit
