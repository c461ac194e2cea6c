#include "app/recording/RecorderViewRelay.h"

#include <QMetaObject>
#include <QThread>

RecorderViewRelay::RecorderViewRelay() = default;

void RecorderViewRelay::Format(std::optional<RecordingFormat> format) {
  std::lock_guard lock(mutex_);
  format_ = format;
}

void RecorderViewRelay::DeviceChosen(bool chosen) {
  std::lock_guard lock(mutex_);
  deviceChosen_ = chosen;
}

void RecorderViewRelay::OutputFileChosen(const std::string& path) {
  std::lock_guard lock(mutex_);
  outputFile_ = path;
}

std::string RecorderViewRelay::OutputFile() const {
  std::lock_guard lock(mutex_);
  return outputFile_;
}

void RecorderViewRelay::OutputFile(const std::string& path) {
  OutputFileChosen(path);
  if (QThread::currentThread() == home_->thread()) {
    if (OutputFileShown) OutputFileShown(path);
    return;
  }
  QMetaObject::invokeMethod(
      home_.get(), [this, path] { if (OutputFileShown) OutputFileShown(path); }, Qt::QueuedConnection);
}

std::optional<RecordingFormat> RecorderViewRelay::Format() const {
  std::lock_guard lock(mutex_);
  return format_;
}

bool RecorderViewRelay::DeviceChosen() const {
  std::lock_guard lock(mutex_);
  return deviceChosen_;
}
