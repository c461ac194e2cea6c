// MessageBoxService: how non-GUI code shows an OK-only warning box. The program
// supplies a Qt implementation; tests supply one that records what was shown.
#pragma once

#include <string>

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;

  // Shows `text` in a box with the exclamation icon, an OK button and the
  // caption `title`. The Qt box is modal and returns once closed, on the
  // window's thread only; WindowThreadDialogs takes calls from the recording
  // thread and returns at once, so a caller never waits for the user.
  virtual void ShowWarning(const std::string& title, const std::string& text) = 0;
};
