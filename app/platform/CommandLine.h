// CommandLine: the program's options, read before any window system is
// touched, so they work on a terminal without a display. "--help" and
// "--version" print to standard output and end the program with status 0;
// "--lang zh|en" picks the interface's language instead of the desktop's.
// Anything else is refused with a message and status 1. The help text is in
// the language the program would run in.
#pragma once

#include "app/platform/InterfaceLanguage.h"

class CommandLine {
 public:
  // Reads main's arguments; returns, with the interface's language, only when
  // the program should run.
  static InterfaceLanguage::Language Process(int argc, char** argv);
};
