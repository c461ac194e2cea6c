// WindowThreadDialogs: message boxes and questions for code on the recording
// thread, shown by the window's thread. A warning is queued and the caller
// goes on at once (a recording never waits for the user to read a box); a
// question waits for the answer (asked only before a recording starts).
// Called on the window's thread, both pass straight through.
#pragma once

#include <QObject>

#include "common/MessageBoxService.h"
#include "common/QuestionService.h"

class WindowThreadDialogs : public MessageBoxService, public QuestionService {
 public:
  // `boxes` and `questions` (nullptr: every question answered No) are used
  // on the thread of `window`, which outlives this object.
  WindowThreadDialogs(MessageBoxService& boxes, QuestionService* questions, QObject& window);

  void ShowWarning(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;

 private:
  bool OnWindowThread() const;

  MessageBoxService& boxes_;
  QuestionService* questions_;
  QObject& window_;
};
