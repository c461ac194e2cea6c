// ShellCommand: popen-based command runner for tests.
#include "tests/support/ShellCommand.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

ShellResult RunShellCommand(const std::string& command) {
  ShellResult result;
  // Bounded: a command stuck on a hung server (pactl) is ended, status 124.
  const std::string bounded = "timeout -k 5 " + std::to_string(kShellCommandLimit.count()) + " /bin/sh -c " +
                              ShellQuote(command);
  FILE* pipe = ::popen(bounded.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> chunk{};
  size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
    result.output.append(chunk.data(), got);
  }
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  return quoted;
}
