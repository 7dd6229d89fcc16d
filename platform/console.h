#pragma once

namespace frambit::platform {

// From now on, Ctrl-C only raises a flag that InterruptRequested() reports;
// a second Ctrl-C ends the program at once, as usual.
void CatchInterrupt();
bool InterruptRequested();

// True when standard error is a terminal, so a progress line can be drawn.
bool ErrorStreamIsTerminal();

}  // namespace frambit::platform
