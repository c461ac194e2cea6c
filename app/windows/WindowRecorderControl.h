// WindowRecorderControl: RecorderControl over the main window. Each request
// does what the user would: picks the device in cboDev and the type in
// cboFileType, then works the recording as cmdDo and cmdPause do, so the
// window shows the same as after a click. A start waits until the recording
// runs or was refused, and reports the refusal's own message, or the warnings
// of a start that runs (kept from the warning boxes, which are then not shown). A start with a duration records
// exactly that much input, to the sample (time paused counts), then stops.
// Listeners hear the state as the window's 25 ms tick would see it. UI thread only.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/recording/RecorderControl.h"
#include "app/recording/RecordingEngine.h"

class Form1;
class NoticedMessageBoxes;

class WindowRecorderControl : public RecorderControl {
  Q_DECLARE_TR_FUNCTIONS(WindowRecorderControl)

 public:
  // `boxes` are the warnings `window` shows. Both outlive this object; the window is loaded.
  WindowRecorderControl(Form1& window, NoticedMessageBoxes& boxes);
  ~WindowRecorderControl() override;
  WindowRecorderControl(const WindowRecorderControl&) = delete;
  WindowRecorderControl& operator=(const WindowRecorderControl&) = delete;

  Result Start(const StartOptions& options) override;
  Result Stop() override;
  Result Pause() override;
  Result Mark(const std::string& name) override;
  Result Resume() override;
  Result Toggle() override;
  Status CurrentStatus() const override;
  void OnStateChanged(StateListener listener) override;

 private:
  RecorderState State() const;
  // Why a device or type cannot be chosen; nothing when chosen (or none asked for).
  std::optional<std::string> ChooseDevice(const std::string& device);
  std::optional<std::string> ChooseType(const std::string& type);
  // The input a start's `duration` comes to at the chosen format; none without one.
  std::optional<RecordingEngine::Length> LengthOf(std::optional<std::chrono::milliseconds> duration) const;
  Result TogglePause();  // as cmdPause does
  void OnWatch();

  Form1& window_;
  NoticedMessageBoxes& boxes_;
  QMetaObject::Connection watch_;  // to the window's tick: state changes
  std::vector<StateListener> listeners_;
  RecorderState heard_ = RecorderState::Idle;
  std::string file_;  // of the running (or last) recording
  int32_t lastLengthMs_ = 0;
};
