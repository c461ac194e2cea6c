// CommandLine: the program's options, read before any window system is
// touched, so they work on a terminal without a display. "--help" and
// "--version" print to standard output and end the program with status 0;
// "--lang zh|en" picks the interface's language instead of the desktop's.
// "--start [--device NAME] [--type wav|flac|opus|mp3] [--for DURATION]",
// "--stop", "--pause", "--resume", "--toggle" and "--status" are asked of the
// running copy (RemoteRequest). "--no-window --device NAME [--type ...]
// [--for DURATION] [FILE]" records on the terminal, without a window.
// Anything else is refused with a message and status 1. The help text is in the language the program would run in.
#pragma once

#include <optional>

#include "app/platform/InterfaceLanguage.h"
#include "app/platform/RemoteRequest.h"

class CommandLine {
 public:
  struct Choices {
    InterfaceLanguage::Language language = InterfaceLanguage::Language::Chinese;
    std::optional<RemoteRequest> request;  // a verb for the running copy
    // --no-window: record on the terminal with `request`'s device, type and duration into `file`
    // (empty: the next numbered file).
    bool noWindow = false;
    QString file;
  };

  // Reads main's arguments; returns only when the program should run.
  static Choices Process(int argc, char** argv);
};
