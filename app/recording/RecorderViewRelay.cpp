#include "app/recording/RecorderViewRelay.h"

#include <QMetaObject>
#include <QThread>

RecorderViewRelay::RecorderViewRelay() = default;

void RecorderViewRelay::Format(const std::string& rateText, bool stereo) {
  std::lock_guard lock(mutex_);
  rateText_ = rateText;
  stereo_ = stereo;
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

std::string RecorderViewRelay::RateText() const {
  std::lock_guard lock(mutex_);
  return rateText_;
}

bool RecorderViewRelay::Stereo() const {
  std::lock_guard lock(mutex_);
  return stereo_;
}

bool RecorderViewRelay::DeviceChosen() const {
  std::lock_guard lock(mutex_);
  return deviceChosen_;
}
