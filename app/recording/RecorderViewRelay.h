// RecorderViewRelay: the window as the recording controller sees it from the
// recording thread. The output file, rate, stereo and device choices are kept
// here under a lock (the window copies its choices in before it sends a
// request, and reports an output file the user picked); what the controller
// writes (output file, captions, enabled frames) is kept and queued to the
// window, which shows it on its own thread. So neither thread waits for the other.
#pragma once

#include <QObject>
#include <mutex>

#include "app/recording/RecorderView.h"

class RecorderViewRelay : public RecorderView {
 public:
  // `window` is the real view, used on the thread of `context` (the window's).
  RecorderViewRelay(RecorderView& window, QObject& context);

  // Window's thread: the rate, stereo and device choices as they are now.
  void TakeChoices();
  // Window's thread: the user picked (or typed) `path` as the output file.
  void OutputFileChosen(const std::string& path);

  std::string OutputFile() const override;
  void OutputFile(const std::string& path) override;
  std::string RateText() const override;
  bool Stereo() const override;
  bool DeviceChosen() const override;
  void ButtonCaption(const std::string& caption) override;
  void PauseButton(bool enabled, const std::string& caption) override;
  void SetSettingsEnabled(bool enabled) override;

 private:
  void ToWindow(std::function<void(RecorderView&)> change);

  RecorderView& window_;
  QObject& context_;
  mutable std::mutex mutex_;
  std::string outputFile_;
  std::string rateText_;
  bool stereo_ = true;
  bool deviceChosen_ = false;
};
