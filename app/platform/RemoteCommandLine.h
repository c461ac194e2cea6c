// RemoteCommandLine: a start of the program with a verb (--start, --stop ...)
// asks the running copy of its program folder over the single-instance
// channel (SingleInstance: same user only), prints the one-line answer and
// ends: status 0 when done, 1 with the reason on standard error otherwise.
// Needs a QCoreApplication; no display.
#pragma once

#include <optional>

#include "app/platform/RemoteRequest.h"

class RemoteCommandLine {
 public:
  // Longer than a start takes to open its device and file.
  static constexpr std::chrono::seconds kAnswerTime{30};

  // The exit status; nothing when no copy runs and `request` is a start: then
  // this process is to become the program and start recording once loaded.
  static std::optional<int> Send(const RemoteRequest& request);
};
