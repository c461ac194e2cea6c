// RecorderViewRelay: the choices a start uses, as the recording controller
// reads them on the recording thread. The window (or the terminal) hands its
// choices in when the user changes them, and the recorder when a door's
// request names them; an output file the controller sets (the next numbered
// one, a new part) is reported to OutputFileShown on the thread that made the
// relay (the window's), never after the relay is gone.
// Every value under one lock, so neither thread waits for the other.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

#include "app/recording/RecorderView.h"

class RecorderViewRelay : public RecorderView {
 public:
  RecorderViewRelay();

  // Any thread: the format and device choices as they are now.
  void Format(std::optional<RecordingFormat> format);
  void DeviceChosen(bool chosen);
  // The user (or a door) picked `path` as the output file.
  void OutputFileChosen(const std::string& path);

  // Heard on the context's thread; set before the recording thread runs.
  std::function<void(const std::string& path)> OutputFileShown;

  std::string OutputFile() const override;
  void OutputFile(const std::string& path) override;
  std::optional<RecordingFormat> Format() const override;
  bool DeviceChosen() const override;

 private:
  std::unique_ptr<QObject> home_ = std::make_unique<QObject>();  // the making thread's; takes the reports
  mutable std::mutex mutex_;
  std::string outputFile_;
  std::optional<RecordingFormat> format_ = RecordingFormat{.rate = 44100, .channels = 2};
  bool deviceChosen_ = false;
};
