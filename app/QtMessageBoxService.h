// QtMessageBoxService: the program's message boxes: modal, exclamation icon,
// one OK button, over the main window.
#pragma once

#include "common/MessageBoxService.h"

class QWidget;

class QtMessageBoxService : public MessageBoxService {
 public:
  explicit QtMessageBoxService(QWidget* owner = nullptr) : owner_(owner) {}
  void Owner(QWidget* owner) { owner_ = owner; }

  void ShowWarning(const std::string& title, const std::string& text) override;

 private:
  QWidget* owner_;
};
