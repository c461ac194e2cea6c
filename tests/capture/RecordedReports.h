// RecordedReports: message boxes and log entries captured for assertions.
#pragma once

#include <string>
#include <vector>

#include "capture/EventLog.h"
#include "common/MessageBoxService.h"

class RecordedReports : public MessageBoxService, public EventLog {
 public:
  struct Box {
    std::string title;
    std::string text;
  };

  void ShowWarning(const std::string& title, const std::string& text) override {
    boxes.push_back({title, text});
  }
  void WriteError(const std::string& entry) override { log.push_back(entry); }

  std::vector<Box> boxes;
  std::vector<std::string> log;
};
