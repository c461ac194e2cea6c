#include "app/windows/NoticedMessageBoxes.h"

#include <QTimer>
#include <utility>

namespace {
// A held caller is told a few lines at most; a flood of warnings costs no more.
constexpr size_t kMaxKept = 8;
}  // namespace

void NoticedMessageBoxes::ShowWarning(const std::string& title, const std::string& text) {
  if (!held_) {
    boxes_.ShowWarning(title, text);
    return;
  }
  if (kept_.size() < kMaxKept) kept_.push_back({title, text});
}

void NoticedMessageBoxes::Hold() {
  held_ = true;
  kept_.clear();
}

std::vector<std::string> NoticedMessageBoxes::Release() {
  held_ = false;
  std::vector<std::string> texts;
  for (Warning& warning : std::exchange(kept_, {})) texts.push_back(std::move(warning.text));
  return texts;
}

void NoticedMessageBoxes::ReleaseLater() {
  held_ = false;
  ShowLater(std::exchange(kept_, {}));
}

void NoticedMessageBoxes::ShowLater(const std::string& title, const std::vector<std::string>& texts) {
  std::vector<Warning> warnings;
  for (const std::string& text : texts) warnings.push_back({title, text});
  ShowLater(std::move(warnings));
}

void NoticedMessageBoxes::ShowLater(std::vector<Warning> warnings) {
  if (warnings.empty()) return;
  QTimer::singleShot(0, [this, warnings = std::move(warnings)] {
    for (const Warning& warning : warnings) ShowWarning(warning.title, warning.text);
  });
}
