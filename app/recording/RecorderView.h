// RecorderView: the recording controller's side of the choices a start uses
// (output file, rate, stereo, device chosen). RecorderViewRelay holds them for
// the recording thread; the window and the terminal fill it. Controller tests
// use a plain fake.
#pragma once

#include <optional>
#include <string>

#include "app/recording/RecordingFormat.h"

class RecorderView {
 public:
  virtual ~RecorderView() = default;

  virtual std::string OutputFile() const = 0;  // txtFile, UTF-8 path
  virtual void OutputFile(const std::string& path) = 0;
  // cboSamplerate and chkStereo, parsed where they were chosen; nothing for a
  // rate no recording can use.
  virtual std::optional<RecordingFormat> Format() const = 0;
  virtual bool DeviceChosen() const = 0;     // cboDev has a selection
};
