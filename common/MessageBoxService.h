// MessageBoxService: how non-GUI code shows an OK-only warning box. The program
// supplies a Qt implementation; tests supply one that records what was shown.
#pragma once

#include <string>

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;

  // Shows `text` in a modal box with the exclamation icon, an OK button and the
  // caption `title`; returns when the user has closed it. UI thread only.
  virtual void ShowWarning(const std::string& title, const std::string& text) = 0;
};
