// NoticedMessageBoxes: the window's warning boxes, passed on to the real ones,
// except while held: then each warning is kept instead of shown, so a caller
// outside the window (RecorderControl) hears why a start was refused, or what
// a start warned of, on its own terminal rather than a box nobody may be there
// to close. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "common/MessageBoxService.h"

class NoticedMessageBoxes : public MessageBoxService {
 public:
  explicit NoticedMessageBoxes(MessageBoxService& boxes) : boxes_(boxes) {}

  void ShowWarning(const std::string& title, const std::string& text) override;

  // From now on warnings are kept, not shown.
  void Hold();
  // Shows warnings again; returns those kept since Hold, oldest first.
  std::vector<std::string> Release();
  // Shows warnings again, and those kept since Hold once the event loop runs
  // (a box waits for the user: whoever called this goes on first).
  void ReleaseLater();
  // Shows each of `texts` once the event loop runs (for a caller that cannot pass them on).
  void ShowLater(const std::string& title, const std::vector<std::string>& texts);

 private:
  struct Warning {
    std::string title;
    std::string text;
  };
  void ShowLater(std::vector<Warning> warnings);

  MessageBoxService& boxes_;
  bool held_ = false;
  std::vector<Warning> kept_;
};
