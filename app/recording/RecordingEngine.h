// RecordingEngine: the recording's work on a thread of its own, and the one
// place that wires it. The window forwards the user's actions here and shows
// what the monitor holds; it never waits on the disk.
//
//   capture (audio server thread) ─queue of 60 s─> WaveInRecorder ─GotData─> RecordingController
//     ─> clsDSP (effects) ─> Encoder (file writes, syncs) ─> RecordingMonitor ─> window (25 ms tick)
//
// Everything right of the queue runs on the recording thread. The window's
// thread owns the device, rate, file type and effect choices while idle and
// hands them over with each request; from a start until the stop's file is
// finished, the encoder and the capture engine are the recording thread's.
// Window's thread only.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/recording/HandsFreeSettings.h"
#include "app/recording/RecordingMonitor.h"
#include "app/recording/TakeTexts.h"
#include "effects/clsDSP.h"

class EncoderSelection;
class MessageBoxService;
class QObject;
class QuestionService;
class RecorderView;
class RecorderViewRelay;
class RecordingController;
class RecordingThread;
class WaveInCapture;
class WaveInRecorder;
class WindowThreadDialogs;

class RecordingEngine {
 public:
  // `window` is the view on `windowObject`'s thread; `effects` the window's
  // model of the effect settings. All must outlive the engine.
  RecordingEngine(WaveInRecorder& recorder, EncoderSelection& encoder, const clsDSP& effects, RecorderView& window,
                  QObject& windowObject, MessageBoxService& messages, QuestionService* questions);
  ~RecordingEngine();  // finishes a running recording first (Shutdown)

  // Output folder, start-up repair, counter, next numbered file; returns when done.
  void StartUp();
  // The start/stop button: starts when idle, stops a running (or starting)
  // recording with everything captured up to now. Returns at once.
  void ToggleRecording();
  // How much input a recording takes before it ends by itself: `bytes` of
  // input captured (see RecordingController::EndAfter), which is `duration`.
  struct Length {
    int64_t bytes;
    std::chrono::milliseconds duration;
  };
  // Starts as ToggleRecording does when idle and returns once the start was
  // handled, with the warnings it sent this way shown. True when it runs.
  // With `length`, the recording ends by itself after it; set with the start,
  // so no input captured before it is written past it.
  bool StartAndWait(std::optional<Length> length = std::nullopt);
  // Polled (the window's tick): once the device has received StartAndWait's
  // bytes, stops as the button does, cut there. The input's last piece may
  // fill no whole capture buffer, and only a stop delivers it. An input that
  // stops coming ends it on the clock, InputStopMargin after the duration,
  // with all that was received, and the user is told the input stopped.
  void StopIfEnded();
  // 5 s and 1 % of `duration`: a device's clock may run that much slower.
  static std::chrono::milliseconds InputStopMargin(std::chrono::milliseconds duration);
  // The pause button: the cut falls at the input received up to now.
  void TogglePause();
  // A marker at the input received up to now, named `name` made plain
  // (PlainText; "标记 N" when empty). Every door's markers come this way.
  // Why none was added: nothing runs, or the take holds
  // TakeMarkers::kAskedLimit markers of the user's already.
  std::optional<std::string> AddMarker(const std::string& name);
  // The effect settings of the window's model changed: the chain follows from the next block.
  void EffectsChanged();
  // The hands-free choices changed: they apply from the next block.
  void HandsFreeChanged(const HandsFreeSettings& settings);
  // The texts the next recordings are tagged with changed: they apply from the next start.
  void TextsChanged(const TakeTexts& texts);
  // The user picked (or typed) the output file.
  void OutputFileChosen(const std::string& path);
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
  void Observe(RecordingMonitor::Snapshot& into) const { monitor_.Read(into); }
  RecorderState State() const { return monitor_.State(); }
  RecordingMonitor::Progress Progress() const { return monitor_.ReadProgress(); }
  // The controller lives on the recording thread: read it only while idle.
  RecordingController& Controller() { return *controller_; }

 private:
  // A stop of the running recording with what was received up to `upTo` (a
  // MarkReceived position); `warning`, if any, is shown after it.
  void StopUpTo(int64_t upTo, std::string warning = {});
  // The start of ToggleRecording, ending by itself after `length` when given.
  void Start(std::optional<Length> length);

  WaveInRecorder& recorder_;
  EncoderSelection& encoder_;
  const clsDSP& effectsModel_;
  RecordingMonitor monitor_;
  clsDSP effects_;  // the running chain: recording thread
  std::unique_ptr<RecorderViewRelay> view_;
  std::unique_ptr<WindowThreadDialogs> dialogs_;
  std::unique_ptr<WaveInCapture> capture_;
  std::unique_ptr<RecordingController> controller_;
  std::unique_ptr<RecordingThread> thread_;  // last member: ends first, before what its work uses
  bool shutDown_ = false;
  struct End {
    int64_t bytes;                                   // the start's Length
    std::chrono::steady_clock::time_point deadline;  // the input stopped if they are not in by then
  };
  std::optional<End> endAfter_;  // of the running recording
  size_t markersAsked_ = 0;      // the user's markers in the running take
};
