// SyslogEventLog: syslog(3) writer.
#include "capture/SyslogEventLog.h"

#include <syslog.h>

void SyslogEventLog::WriteError(const std::string& entry) {
  // The identity must outlive every syslog call, so it is a literal.
  ::openlog("Tamblin", LOG_PID, LOG_USER);
  ::syslog(LOG_USER | LOG_ERR, "%s", entry.c_str());
}
