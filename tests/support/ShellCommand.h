// ShellCommand: runs a command line through /bin/sh for tests (pactl, sox ...)
// and hands back its standard output and exit status.
#pragma once

#include <chrono>
#include <string>

struct ShellResult {
  int exitCode = -1;   // the command's exit status; -1 when it could not run
  std::string output;  // everything it wrote to standard output
};

// A command still running after this is ended (exit code 124).
inline constexpr std::chrono::seconds kShellCommandLimit{60};

// Runs `command` with /bin/sh -c and waits for it, at most kShellCommandLimit.
// Standard error is passed through to the test's own standard error.
ShellResult RunShellCommand(const std::string& command);

// Quotes `text` for the shell with single quotes.
std::string ShellQuote(const std::string& text);
