// TerminalMessages: the recorder's message boxes when it runs without a window:
// each warning is one line on standard error (the caption before it), and a
// question is answered No, so nothing that holds data is replaced while nobody
// watches. Counts the warnings, so the program can end with a failure status.
// Any thread (a line is written whole).
#pragma once

#include <atomic>

#include "common/MessageBoxService.h"
#include "common/QuestionService.h"

class TerminalMessages : public MessageBoxService, public QuestionService {
 public:
  void ShowWarning(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;

  int Count() const { return count_; }

 private:
  std::atomic<int> count_{0};
};
