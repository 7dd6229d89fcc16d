#pragma once

#include "engine/session_state.h"
#include "engine/session_view.h"

namespace frambit {

// Locks the commands that would change the inputs, starts the one-second
// timer and creates an empty hit list.
void BeginBusy(SessionState& state, SessionView& view);

// Undoes BeginBusy and releases the hits. Called on every way out of an
// operation that called BeginBusy, failures included.
void EndBusy(SessionState& state, SessionView& view);

}  // namespace frambit
