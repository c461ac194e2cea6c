// CommandLine: the program's options, read before any window system is
// touched, so they work on a terminal without a display. "--help" and
// "--version" print to standard output and end the program with status 0;
// "--lang zh|en" picks the interface's language instead of the desktop's.
// "--start [--device NAME [--device SECOND]] [--tracks mix|separate|both]
// [--type wav|flac|opus|mp3] [--for DURATION]",
// "--stop", "--pause", "--resume", "--toggle" and "--status" are asked of the
// running copy (RemoteRequest). "--no-window --device NAME [--device SECOND
// [--tracks ...]] [--type ...]
// [--for DURATION] [--sound-activated [--threshold DB] [--pre-roll S]
// [--hang S] [--after-silence pause|new-file]] [--split MINUTES] [FILE]"
// records on the terminal, without a window; the hands-free values are
// read here as numbers, their limits are the recorder's to check.
// Anything else is refused with a message and status 1. The help text is in the language the program would run in.
#pragma once

#include <cstdint>
#include <optional>

#include "app/platform/InterfaceLanguage.h"
#include "app/platform/RemoteRequest.h"

class CommandLine {
 public:
  // --no-window's hands-free options as given; unset: the "定时/触发" page's defaults.
  struct HandsFreeOptions {
    bool soundActivated = false;
    std::optional<double> thresholdDbfs;
    std::optional<double> preRollSeconds;
    std::optional<double> hangSeconds;
    std::optional<bool> newFileAfterSilence;  // else pause
    std::optional<int32_t> splitMinutes;
  };

  struct Choices {
    InterfaceLanguage::Language language = InterfaceLanguage::Language::Chinese;
    std::optional<RemoteRequest> request;  // a verb for the running copy
    // --no-window: record on the terminal with `request`'s device, type and duration into `file`
    // (empty: the next numbered file).
    bool noWindow = false;
    QString file;
    HandsFreeOptions handsFree;
  };

  // Reads main's arguments; returns only when the program should run.
  static Choices Process(int argc, char** argv);
};
