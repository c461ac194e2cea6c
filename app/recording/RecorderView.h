// RecorderView: the recording controller's side of the choices a start uses
// (output file, rate, stereo, device chosen). RecorderViewRelay holds them for
// the recording thread; the window and the terminal fill it. Controller tests
// use a plain fake.
#pragma once

#include <string>

class RecorderView {
 public:
  virtual ~RecorderView() = default;

  virtual std::string OutputFile() const = 0;  // txtFile, UTF-8 path
  virtual void OutputFile(const std::string& path) = 0;
  virtual std::string RateText() const = 0;  // text of cboSamplerate
  virtual bool Stereo() const = 0;           // chkStereo ticked
  virtual bool DeviceChosen() const = 0;     // cboDev has a selection
};
