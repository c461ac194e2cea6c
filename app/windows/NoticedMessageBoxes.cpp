#include "app/windows/NoticedMessageBoxes.h"

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
  if (kept_.size() < kMaxKept) kept_.push_back(text);
}

void NoticedMessageBoxes::Hold() {
  held_ = true;
  kept_.clear();
}

std::vector<std::string> NoticedMessageBoxes::Release() {
  held_ = false;
  return std::exchange(kept_, {});
}
