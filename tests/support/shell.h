#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace frambit::test {

// Runs a command through the shell; its standard output (standard error
// joined to it), and in exitCode how it ended (-1 when it did not start).
inline std::string Shell(const std::string& command, int* exitCode = nullptr) {
  std::string out;
  FILE* pipe = ::popen(("{ " + command + "\n} 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    if (exitCode) *exitCode = -1;
    return out;
  }
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  const int status = ::pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

struct ShellRun {
  int exitCode = -1;  // -1 when it did not start or did not exit
  std::string out;
};

// Runs a command through the shell for its standard output alone (standard
// error is dropped), without the trailing newlines: a device name, a count.
inline ShellRun RunQuietly(const std::string& command) {
  ShellRun run;
  run.out = Shell("{ " + command + "\n} 2>/dev/null", &run.exitCode);
  while (!run.out.empty() && run.out.back() == '\n') run.out.pop_back();
  return run;
}

inline bool HaveTool(const std::string& name) {
  int code = 0;
  Shell("command -v " + name, &code);
  return code == 0;
}

}  // namespace frambit::test
