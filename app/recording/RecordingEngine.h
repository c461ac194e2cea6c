// RecordingEngine: the recorder. It owns the recording's work on a thread of
// its own and its one state (RecordingMonitor), and offers the verbs every door
// calls (RecorderControl): the window's buttons and keys, the tray, the
// command-line socket, the session bus, the schedule and the terminal. Doors
// hand their choices in and render the state; none drives another's widgets.
//
//   capture (audio server thread) ─queue of 60 s─> WaveInRecorder ─GotData─> RecordingController
//     ─> clsDSP (effects) ─> Encoder (file writes, syncs) ─> RecordingMonitor ─> doors and views
//
// Everything right of the queue runs on the recording thread. The window's
// thread owns the device, rate, file type and effect choices while idle and
// hands them over here; from a start until the stop's file is finished, the
// encoder and the capture engine are the recording thread's.
// Window's thread only (the thread that made it).
#pragma once

#include <QObject>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/handsfree/HandsFreeSettings.h"
#include "app/recording/RecorderControl.h"
#include "app/recording/RecordingFormat.h"
#include "app/recording/RecordingMonitor.h"
#include "app/recording/SecondInputSettings.h"
#include "app/recording/SecondTrack.h"
#include "app/recording/TakeTexts.h"
#include "effects/clsDSP.h"

class EncoderSelection;
class MessageBoxService;
class QTimer;
class QuestionService;
class RecorderViewRelay;
class RecordingController;
class RecordingThread;
class WaveInCapture;
class WaveInRecorder;
class WindowThreadDialogs;

class RecordingEngine : public RecorderControl {
 public:
  // `effects` is the window's model of the effect settings; `messages` and
  // `questions` are shown on the thread that makes the engine. All must
  // outlive the engine.
  RecordingEngine(WaveInRecorder& recorder, EncoderSelection& encoder, const clsDSP& effects,
                  MessageBoxService& messages, QuestionService* questions);
  ~RecordingEngine() override;  // finishes a running recording first (Shutdown)

  // Output folder, start-up repair, counter, next numbered file; returns when
  // done, with what it warned of (shown by the caller once its doors are open).
  std::vector<std::string> StartUp();

  // RecorderControl ---------------------------------------------------------
  // A start returns once it runs or was refused.
  Result Start(const RecordingRequest& request) override;
  // Returns at once: the queue is written and the file finished meanwhile.
  Result Stop() override;
  Result Pause() override;   // returns once the cut is made
  Result Resume() override;  // the same
  Result Toggle() override;
  Result Mark(const std::string& name) override;
  Status CurrentStatus() const override;
  void OnStateChanged(StateListener listener) override;

  // A scheduled start that waits: Toggle calls `cancel` first, and a true
  // answer (it was waiting and is cancelled now) is all the toggle does.
  void ScheduledStart(std::function<bool()> cancel) { cancelScheduledStart_ = std::move(cancel); }
  // How long until a scheduled start, none when none waits: the status says the recorder waits for it.
  void ScheduledStartWait(std::function<std::optional<std::chrono::seconds>()> remaining) {
    scheduledStartWait_ = std::move(remaining);
  }
  // Heard (window's thread) when a door's request changed the chosen device,
  // type, format or output file, so the window shows them.
  std::function<void()> ChoicesChanged;
  // Heard (window's thread) with every output file the recorder prepares or opens.
  std::function<void(const std::string& path)> OutputFileShown;

  // How much input a recording takes before it ends by itself: `bytes` of
  // input captured (see RecordingController::EndAfter), which is `duration`.
  struct Length {
    int64_t bytes;
    std::chrono::milliseconds duration;
  };
  // 5 s and 1 % of `duration`: a device's clock may run that much slower.
  static std::chrono::milliseconds InputStopMargin(std::chrono::milliseconds duration);
  // The running recording ends by itself after `duration` more of input,
  // counted from what was received now, to the sample. False when none runs.
  bool EndAfterMore(std::chrono::milliseconds duration);
  // The running recording ends at the block that brings its file to `bytes`.
  void EndAtFileSize(int64_t bytes);

  // Monitoring before a take (RecordingController::Monitoring): the input
  // opens on the recording thread once a device is chosen, and the newest
  // `preRecordSeconds` are kept for a start; returns when done.
  void Monitor(bool on, double preRecordSeconds);
  // The window changed the device, line, rate or stereo: the monitor follows.
  void InputChanged(bool deviceChanged);

  // The window's choices, handed in when the user changes them; the format as
  // parsed from the rate and stereo boxes (nothing: a rate no recording can use).
  void FormatChosen(std::optional<RecordingFormat> format);
  void DeviceChosen(bool chosen);
  void OutputFileChosen(const std::string& path);
  // The chosen output file as the recorder has it.
  std::string OutputFile() const;
  // The effect settings of the window's model changed: the chain follows from the next block.
  void EffectsChanged();
  // Where a two-input take's second input and echo canceller come from (see
  // RecordingController::SecondInputMakers); returns when set.
  void SecondInputMakers(SecondTrack::InputMaker input, SecondTrack::CancellerMaker canceller);
  // The second input and its tracks as the window chose them: they apply from the next start.
  void SecondInputChosen(const SecondInputSettings& settings) { second_ = settings; }
  const SecondInputSettings& SecondInputChoice() const { return second_; }
  // The hands-free choices changed: they apply from the next block.
  void HandsFreeChanged(const HandsFreeSettings& settings);
  // The texts the next recordings are tagged with changed: they apply from the next start.
  void TextsChanged(const TakeTexts& texts);
  // The user agreed to replace `path` (see RecordingController::ReplaceConfirmed).
  void ReplaceConfirmed(const std::string& path);
  // The file type changed while idle; returns when the next file is prepared.
  void FileTypeChanged();
  // Stops a running recording as the button does and waits until the queue
  // is written and the file finished (the window keeps showing the progress).
  void Shutdown();
  // Returns when every request sent so far has been handled.
  void WaitUntilHandled();

  RecordingMonitor::Snapshot Observe() const { return monitor_.Read(); }
  void Observe(RecordingMonitor::Snapshot& into, bool withBlock) const { monitor_.Read(into, withBlock); }
  // The input's deliveries a second while no view draws it (one per terminal progress line).
  static constexpr uint32_t kUnwatchedFragmentsPerSecond = 4;
  // Whether a view draws the newest block (see RecordingMonitor::WatchSamples);
  // the open input's pace follows: the live displays' while drawn, else
  // kUnwatchedFragmentsPerSecond.
  void WatchSamples(bool watched);
  RecorderState State() const { return monitor_.State(); }
  RecordingMonitor::Progress Progress() const { return monitor_.ReadProgress(); }
  // The controller lives on the recording thread: read it only while idle.
  RecordingController& Controller() { return *controller_; }

 private:
  // The start once the state is Starting: the request's choices, then the controller's start.
  Result RunStart(const RecordingRequest& request);
  // Why the request's choices cannot be made; nothing when made (or none asked for).
  // `deviceChanged` is set when the request chose another device (a monitor on the old one reopens).
  std::optional<std::string> ApplyChoices(const RecordingRequest& request, bool& deviceChanged);
  std::optional<std::string> ChooseDevice(const std::string& device, std::optional<int32_t> line);
  // `fileNamed`: the request named the output file, whose extension must then fit.
  std::optional<std::string> ChooseType(const std::string& type, bool fileNamed);
  // A stop of the running recording with what was received up to `upTo` (a
  // MarkReceived position); `warning`, if any, is shown after it.
  void StopUpTo(int64_t upTo, std::string warning = {});
  // Once the device has received the start's Length, stops as the button
  // does, cut there (the input's last piece may fill no whole capture buffer,
  // and only a stop delivers it). An input that stops coming ends it on the
  // clock, InputStopMargin after the duration, and the user is told so.
  void StopIfEnded();
  Result SetPaused(bool pause);
  void HeardStateChange();

  WaveInRecorder& recorder_;
  EncoderSelection& encoder_;
  const clsDSP& effectsModel_;
  RecordingMonitor monitor_;
  clsDSP effects_;  // the running chain: recording thread
  std::unique_ptr<QObject> home_;  // the window's thread: takes the state changes and the end check
  std::unique_ptr<RecorderViewRelay> view_;
  std::unique_ptr<WindowThreadDialogs> dialogs_;
  std::unique_ptr<WaveInCapture> capture_;
  std::unique_ptr<RecordingController> controller_;
  std::unique_ptr<RecordingThread> thread_;  // last member: ends first, before what its work uses
  QTimer* endCheck_ = nullptr;  // child of home_: runs while a start's Length is out
  bool shutDown_ = false;
  struct End {
    int64_t bytes;                                   // the start's Length
    std::chrono::steady_clock::time_point deadline;  // the input stopped if they are not in by then
  };
  std::optional<End> endAfter_;  // of the running recording
  size_t markersAsked_ = 0;      // the user's markers in the running take
  std::vector<StateListener> listeners_;
  RecorderState heard_ = RecorderState::Idle;  // what the listeners heard last
  std::function<bool()> cancelScheduledStart_;
  std::function<std::optional<std::chrono::seconds>()> scheduledStartWait_;
  std::string device_;  // recorded by the running (or last) take
  std::string type_;    // written by the running (or last) take
  double preRecordSeconds_ = 0;  // as the window set it (Monitor)
  bool paceWatched_ = true;      // the input's pace last asked for: a view's
  SecondInputSettings second_;   // as the window chose it
};
