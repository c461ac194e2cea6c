// SyslogEventLog: error entries to syslog(3), facility user, priority error,
// identity "Tamblin".
#pragma once

#include "capture/EventLog.h"

class SyslogEventLog : public EventLog {
 public:
  void WriteError(const std::string& entry) override;
};
