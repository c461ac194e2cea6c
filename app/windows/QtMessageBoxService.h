// QtMessageBoxService: the program's message boxes over the main window:
// warnings (exclamation icon, one OK button) and yes/no questions.
#pragma once

#include "common/MessageBoxService.h"
#include "common/QuestionService.h"

class QWidget;

class QtMessageBoxService : public MessageBoxService, public QuestionService {
 public:
  explicit QtMessageBoxService(QWidget* owner = nullptr) : owner_(owner) {}
  void Owner(QWidget* owner) { owner_ = owner; }

  void ShowWarning(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;

 private:
  QWidget* owner_;
};
