// StatusTexts: the status bar's texts made from the numbers the recorder
// publishes (RecordingMonitor::Snapshot), by whoever shows them (the window at
// its own pace, the terminal's line, the --status answer), so the recording
// thread only counts. In the interface's language. Any thread.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <string>

#include "app/recording/RecordingMonitor.h"

class StatusTexts {
  Q_DECLARE_TR_FUNCTIONS(StatusTexts)

 public:
  // "文件大小: ..." of the file being recorded; "文件大小: 0 Bytes" while idle.
  static std::string Size(const RecordingMonitor::Snapshot& shown);
  // "长度: m:ss" ("长度: m:ss (已暂停)" while paused); "长度: 0:00" while idle.
  static std::string Length(const RecordingMonitor::Snapshot& shown);
  // Length with sound activation's state: armed and waiting, or the running take.
  static std::string LengthWithHandsFree(const RecordingMonitor::Snapshot& shown);
  // Input the server had to drop during this recording, "输入丢失: N".
  static std::string Lost(const RecordingMonitor::Snapshot& shown);

  // Byte count as "N bytes", "N KB", "N.N MB" or "N.N GB"; empty when negative.
  static std::string FormatSize(double S);
  // Milliseconds as minutes ":" two-digit seconds, seconds rounded half to even.
  static std::string FormatLength(int32_t ms);
};
