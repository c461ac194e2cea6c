// CommandLine: the program's options, read before any window system is
// touched, so they work on a terminal without a display. Only "--help" and
// "--version"; both print to standard output and end the program with status
// 0. Anything else is refused with a message and status 1.
#pragma once

class CommandLine {
 public:
  // Reads main's arguments; returns only when the program should run.
  static void Process(int argc, char** argv);
};
