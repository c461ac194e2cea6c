#include "app/recording/TakeMarkers.h"

#include <QCoreApplication>

void TakeMarkers::Begin() {
  markers_.clear();
  position_ = 0;
  unnamed_ = 0;
  asked_ = 0;
}

bool TakeMarkers::Add(const std::string& name, int64_t ahead) {
  if (markers_.size() >= kLimit) return false;
  markers_.push_back({position_ + ahead, name});
  return true;
}

bool TakeMarkers::AddAsked(const std::string& name) {
  if (asked_ >= kAskedLimit) return false;
  const std::string shown =
      name.empty() ? QCoreApplication::translate("TakeMarkers", "标记 %1").arg(unnamed_ + 1).toStdString() : name;
  if (!Add(shown)) return false;
  if (name.empty()) ++unnamed_;
  ++asked_;
  return true;
}
