#include "platform/console.h"

#include <unistd.h>

#include <csignal>

namespace frambit::platform {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }

bool InterruptRequested() { return interrupted != 0; }

bool ErrorStreamIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace frambit::platform
