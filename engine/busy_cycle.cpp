#include "engine/busy_cycle.h"

namespace frambit {

void BeginBusy(SessionState& state, SessionView& view) {
  view.SetCommandsEnabled(false);
  state.ElapsedSeconds = 1;
  view.SetTimerEnabled(true);
  state.Hits.emplace();
}

void EndBusy(SessionState& state, SessionView& view) {
  view.SetCommandsEnabled(true);
  view.SetTimerEnabled(false);
  view.ResetTimeCaption();
  view.RefreshFileList();
  state.Hits.reset();
}

}  // namespace frambit
