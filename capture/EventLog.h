// EventLog: where the capture subsystem writes its error entries (the system
// log in the program, a recording list in tests).
#pragma once

#include <string>

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Writes one error entry; any thread.
  virtual void WriteError(const std::string& entry) = 0;
};
