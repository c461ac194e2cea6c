// RecorderView: what the recording controller reads from and writes to the main
// window (output file box, rate box, stereo box, device list, start/stop button,
// settings frames). Form1 implements it; controller tests use a plain fake.
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
  virtual void ButtonCaption(const std::string& caption) = 0;  // cmdDo
  virtual void PauseButton(bool enabled, const std::string& caption) = 0;  // cmdPause
  // Enables or disables frmOut, then frmInp, with everything inside them.
  virtual void SetSettingsEnabled(bool enabled) = 0;
};
