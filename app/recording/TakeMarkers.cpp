#include "app/recording/TakeMarkers.h"

#include <QCoreApplication>

void TakeMarkers::Begin() {
  markers_.clear();
  position_ = 0;
  unnamed_ = 0;
}

bool TakeMarkers::Add(const std::string& name) {
  if (markers_.size() >= kLimit) return false;
  std::string shown = name;
  if (shown.empty()) {
    shown = QCoreApplication::translate("TakeMarkers", "标记 %1").arg(++unnamed_).toStdString();
  }
  markers_.push_back({position_, std::move(shown)});
  return true;
}
