// NoticedMessageBoxes: the window's warning boxes, passed on to the real ones,
// except while held: then each warning is kept instead of shown, so a caller
// outside the window (RecorderControl) hears why a start was refused on its
// own terminal rather than a box nobody may be there to close. UI thread only.
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

 private:
  MessageBoxService& boxes_;
  bool held_ = false;
  std::vector<std::string> kept_;
};
