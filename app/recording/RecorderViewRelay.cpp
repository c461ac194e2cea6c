#include "app/recording/RecorderViewRelay.h"

#include <QMetaObject>
#include <QThread>

RecorderViewRelay::RecorderViewRelay(RecorderView& window, QObject& context) : window_(window), context_(context) {}

void RecorderViewRelay::TakeChoices() {
  std::lock_guard lock(mutex_);
  rateText_ = window_.RateText();
  stereo_ = window_.Stereo();
  deviceChosen_ = window_.DeviceChosen();
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
  {
    std::lock_guard lock(mutex_);
    outputFile_ = path;
  }
  ToWindow([path](RecorderView& window) { window.OutputFile(path); });
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

void RecorderViewRelay::ButtonCaption(const std::string& caption) {
  ToWindow([caption](RecorderView& window) { window.ButtonCaption(caption); });
}

void RecorderViewRelay::PauseButton(bool enabled, const std::string& caption) {
  ToWindow([enabled, caption](RecorderView& window) { window.PauseButton(enabled, caption); });
}

void RecorderViewRelay::SetSettingsEnabled(bool enabled) {
  ToWindow([enabled](RecorderView& window) { window.SetSettingsEnabled(enabled); });
}

void RecorderViewRelay::ToWindow(std::function<void(RecorderView&)> change) {
  if (QThread::currentThread() == context_.thread()) {
    change(window_);
    return;
  }
  QMetaObject::invokeMethod(&context_, [this, change = std::move(change)] { change(window_); },
                            Qt::QueuedConnection);
}
