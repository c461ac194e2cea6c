// RecordingController: starts and stops a recording, routes every captured block
// through the effects chain into the encoder, keeps the newest processed block for
// the displays, publishes the numbers the status texts are made of, and
// numbers the output files.
//
// Per block: copy -> clsDSP::ProcessSamples (in place) -> Encode(exactly lngLen bytes).
// The take's files (opening, the next part, metadata, the counter) are TakeFiles'.
// A take whose settings name a second device records it beside the first
// (SecondTrack): the first input goes through the echo canceller, then the
// effects; the files take the mix, the inputs apart, or both (TakeFiles).
// It publishes what it does to the RecordingMonitor, which holds the one
// RecorderState; a recording may be paused (nothing written, the length stands
// still). Messages: "提示" for the start and stop checks, "Tamblin" for
// everything else; a start asked through TryStart returns them instead.
//
// Runs on the recording thread (RecordingEngine posts the window's requests
// to it), so a slow disk holds up only this thread; the window reads what it
// shows from the RecordingMonitor this controller publishes to. Handlers run
// one at a time.
#pragma once

#include <QCoreApplication>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/recording/DiskSpaceGuard.h"
#include "capture/CaptureSink.h"
#include "app/recording/FileCounter.h"
#include "app/handsfree/HandsFreeSettings.h"
#include "metering/ClipCounter.h"
#include "metering/LoudnessMeter.h"
#include "app/recording/PreRecordRing.h"
#include "app/recording/RecordingFormat.h"
#include "app/recording/SecondInputSettings.h"
#include "app/recording/SecondTrack.h"
#include "app/handsfree/SoundGate.h"
#include "app/recording/TakeFiles.h"
#include "app/recording/TakeMarkers.h"
#include "app/review/TakeOverview.h"
#include "app/recording/TakeTexts.h"
#include "encoding/Encoder.h"

class CaptureEngine;
class clsDSP;
class MessageBoxService;
class QuestionService;
class RecorderView;
class RecordingMonitor;

class RecordingController : public CaptureSink, private SoundGate::Listener, private TakeFiles::Listener {
  Q_DECLARE_TR_FUNCTIONS(RecordingController)

 public:
  RecordingController(CaptureEngine& clsRecorder, Encoder& clsEncoder, clsDSP& clsEffects, RecorderView& view,
                      MessageBoxService& messages);

  // Where state, blocks and status texts are published for the window; none: nowhere.
  void Monitor(RecordingMonitor* monitor) { monitor_ = monitor; }

  // The disk-space checks of Start and GotData (tests give a scripted file system).
  void DiskGuard(DiskSpaceGuard guard) { diskGuard_ = std::move(guard); }

  // Where a start asks before replacing a file that holds data; without it
  // such a file is never replaced. Not owned.
  void Questions(QuestionService* questions) { files_.Questions(questions); }
  // The user agreed (in the save dialog) to replace `path`: the next start
  // into exactly that file replaces it without asking again.
  void ReplaceConfirmed(const std::string& path) { files_.ReplaceConfirmed(path); }
  // The question before replacing `path`.
  static std::string ReplaceQuestion(const std::string& path) { return TakeFiles::ReplaceQuestion(path); }
  // Why a file named `path` is not written as `type` ("wav" ...): its extension names another type.
  static std::string TypeMismatchMessage(const std::string& path, const std::string& type);

  // Sound activation and splitting by time, for the next start: a running
  // recording keeps what it started with.
  //
  // Sound activation: the start arms; nothing is written (no file left
  // behind) until the first take. Pause mode puts the takes one after the
  // other into the same file; NewFile mode gives each take its own part,
  // numbered as the size-limit continuation numbers them.
  // Splitting: a new part after every splitMinutes of recorded audio, to the
  // sample; paused time and the silence between takes do not count. In
  // NewFile mode each take starts a part of its own.
  void HandsFree(const HandsFreeSettings& settings) { handsFree_ = settings; }
  const HandsFreeSettings& HandsFree() const { return handsFree_; }
  // The texts the files of the next start are tagged with (every part of it,
  // and every later start until changed); a running recording keeps its own.
  void Texts(const TakeTexts& texts) { texts_ = texts; }
  const TakeTexts& Texts() const { return texts_; }
  // The second input and its tracks, for the next start; a running take keeps its own.
  void SecondInput(const SecondInputSettings& settings) { second_ = settings; }
  const SecondInputSettings& SecondInput() const { return second_; }
  // Where a two-input take's second input and echo canceller come from (made
  // at its start); none: its second track is silence, and nothing is removed
  // from the first input.
  void SecondInputMakers(SecondTrack::InputMaker input, SecondTrack::CancellerMaker canceller) {
    secondTrack_.Makers(std::move(input), std::move(canceller));
  }
  // The marker where the second input lost audio ("输入 2 丢失").
  static std::string SecondInputLostMarkerName();
  // Parts of this many frames instead of splitMinutes (for parts shorter than
  // a minute); 0: as the settings say.
  void FramesPerPart(int64_t frames) { framesPerPart_ = frames; }
  // false: a take into a file the user named leaves the counter as it is (the
  // terminal's named files are no part of the numbered series); the window's
  // named takes move it on, as they always have.
  void NamedTakesAdvanceCounter(bool value) { files_.NamedTakesAdvanceCounter(value); }

  // After the window is shown: output folder, counter from nu.ini, next numbered
  // file created empty, output box set. Its warnings go into `warnings` when
  // given (the caller shows them once it can), else to the message boxes.
  void StartUp(std::vector<std::string>* warnings = nullptr);

  // A start with its outcome: why it was refused (empty when it runs; the
  // user's "no" to replacing a file is `declined`, already answered), and
  // what a start that runs warned of.
  struct StartResult {
    bool started = false;
    std::string refusal;
    bool declined = false;
    std::vector<std::string> warnings;
  };
  // Starts unless a recording runs, ending by itself after `endAfterBytes` (as StartIfIdle).
  StartResult TryStart(int64_t endAfterBytes = INT64_MAX);

  // Monitoring: while no take runs, the chosen device's input is open and its
  // blocks go through the effects to the displays and meters as a take's do,
  // with nothing written; the newest `preRecordSeconds` (0 .. 600) of them are
  // kept for the next start. `on` false closes the input. A running take keeps
  // its input; the choice holds from its stop.
  void Monitoring(bool on, double preRecordSeconds);
  // The device, line or format changed: the monitor follows them (not during
  // a take); `deviceChanged` reopens it even at the same format.
  void ReopenMonitor(bool deviceChanged = false);
  // The monitor's input is open with no take.
  bool MonitorOpen() const;
  // The next start over an open monitor begins at `pressMark` (a
  // CaptureEngine::MarkReceived position taken at the press), with up to
  // `preRecordSeconds` of the kept input before it. Without it a start over
  // an open monitor begins with the first block not yet delivered.
  void StartFrom(int64_t pressMark, double preRecordSeconds);
  // Where the running (or last) take's live input begins, as a MarkReceived position.
  int64_t TakeStartPosition() const { return takeStart_; }
  // Memory the kept input takes now.
  size_t PreRecordBytes() const { return preRecord_.AllocatedBytes(); }

  // The start/stop button (cmdDo): starts when idle, stops when recording.
  void Toggle();
  // A start the window asked for: starts unless a recording runs. It ends by
  // itself once `endAfterBytes` of input were captured (as EndAfter), set before
  // its first block arrives.
  void StartIfIdle(int64_t endAfterBytes = INT64_MAX);
  // A stop the window asked for at a click: stops a running recording with
  // everything captured up to `upTo` (a CaptureEngine::MarkReceived position).
  void StopIfRecording(int64_t upTo);

  // The running recording is stopped as by the button once `bytes` of input
  // were captured (input received while paused counts); input after that is
  // left out, to the sample. Until the next start.
  void EndAfter(int64_t bytes) { endAfterBytes_ = bytes; }
  // The running recording is stopped as by the button at the block that
  // brings its file to `bytes` or more. Until the next start.
  void EndAtFileSize(int64_t bytes) { endAtFileBytes_ = bytes; }

  // The pause button (cmdPause, enabled only while recording): pauses the
  // recording or goes on with it in the same file. The cut falls at the input
  // received up to the click, to the sample: all of it before a pause goes
  // into the file, nothing received while paused does.
  void TogglePause();
  // The same with the cut at `mark`, taken at the click (CaptureEngine::MarkReceived).
  void TogglePause(int64_t mark);
  // Pauses (`pause`) or goes on, cut at `mark` as TogglePause; nothing when it is so already.
  void Pause(bool pause, int64_t mark);
  bool IsPaused() const { return paused_; }
  // A marker at the input received up to `mark` (CaptureEngine::MarkReceived,
  // INT64_MAX: all delivered so far), named `name` ("标记 N" when empty).
  // Nothing while idle. False when the file holds the most markers it may.
  bool AddMarker(int64_t mark, const std::string& name);
  // The markers of the file being recorded, or of the last one finished.
  const TakeMarkers& Markers() const { return files_.Markers(); }
  static std::string StartCaption();   // "开始录音"
  static std::string StopCaption();    // "停止录音"
  static std::string PauseCaption();   // "暂停"
  static std::string ResumeCaption();  // "继续"

  // The encoder's file type (extension) changed while idle: numbered files take
  // the new extension, the prepared one moves along (the output box follows
  // when it showed the numbered file).
  void FileTypeChanged();

  // The capture engine's GotData event: intBuffer is the whole delivered array,
  // lngLen its valid byte count.
  void GotData(std::span<const int16_t> intBuffer, int32_t lngLen);

  // CaptureSink: the engine's blocks, losses and device loss.
  void GotData(std::span<int16_t> intBuffer, int32_t& lngLen) override;
  void InputLost(InputLoss cause) override;
  // The capture device or the audio server went away: a running recording is
  // stopped as by the button, then reported with the engine's `reason`.
  void DeviceLost(const std::string& reason) override;

  // Window unload, first step: a running recording is stopped as by the button.
  void Shutdown();

  bool IsRecording() const;
  // The loudness of the last finished recording (integrated, range, true peak,
  // the largest momentary and short-term values), kept until the next start.
  const LoudnessReading& FinalLoudness() const { return finalLoudness_; }
  // The recorded length of the last finished recording in seconds, every part
  // of it, to the sample (lngRecMS rounds at every block); kept until the next start.
  double FinalSeconds() const { return finalSeconds_; }
  // The newest block after effects (1024 zeros until the first block).
  std::span<const int16_t> intVisSamples() const { return intVisSamples_; }
  // For the level bars: the newest captured block, while paused too (then as
  // captured: no effects run on audio that is not recorded).
  std::span<const int16_t> LevelSamples() const { return paused_ ? pausedSamples_ : intVisSamples_; }
  int32_t lngRecMS() const { return lngRecMS_; }  // recorded length, 0 when idle
  int32_t lngBytesPerSec() const { return lngBytesPerSec_; }  // 0 when idle
  FileCounter& Counter() { return files_.Counter(); }
  // The last (or running) take's last part and overview.
  const TakeOverview& Take() const { return files_.Take(); }

  // Bytes in the file being recorded, as its encoder counted them; -1 when idle or unknown.
  int64_t OutputFileBytes() const;

  // Message box titles and texts, in the interface's language.
  static std::string CheckCaption();  // "提示"
  static std::string NoDeviceMessage();  // "没有选择硬件设备!"
  static std::string BadRateMessage();
  static constexpr const char* kAppCaption = "Tamblin";

 private:
  // Why it did not start; empty when it runs.
  std::string Start(int64_t endAfterBytes);
  // TryStart, its refusal and warnings shown in the boxes.
  void StartShowingRefusal(int64_t endAfterBytes);
  // TakeFiles::Listener: a warning ("Tamblin"), collected while a caller takes them (collecting_).
  void Warn(const std::string& text) override;
  void PartOpened(const std::string& path) override;
  void WritingFailed() override;
  void Stop(int64_t upTo = INT64_MAX);
  // Opens the monitor's input at the chosen format (its meters and kept input
  // afresh when it opens, or always when `afresh`); why it did not, empty when open.
  std::string OpenMonitor(bool afresh = false);
  // Up to where the next take begins over the open monitor: its input up to the
  // press goes to the monitor. Where the take's live input begins, and how many
  // kept samples go before it.
  struct TakeStart {
    int64_t position = 0;
    size_t preRecordSamples = 0;
    bool overMonitor = false;  // the take goes on with the monitor's input and its effects
  };
  TakeStart CatchUpToPress(const RecordingFormat& format);
  void CloseMonitor();
  // The monitor's meters and kept input start afresh at `format`.
  void BeginMonitoring(const RecordingFormat& format);
  // A block of the open monitor: effects, meters and the kept input.
  void MonitorBlock(std::span<const int16_t> intBuffer, int32_t lngLen);
  // The take begins with up to `samples` of the kept input, as recorded audio.
  void ReplayPreRecord(size_t samples);
  // intVisSamples_ becomes the block, its first `effectSamples` after effects.
  void TakeBlock(std::span<const int16_t> intBuffer, size_t effectSamples = SIZE_MAX);
  // The messages about input lost during the recording that just stopped.
  void ReportLosses(int64_t lost, int64_t lostToQueue);
  // The second input's stretch for the block of `lngLen` bytes just delivered:
  // its losses marked, its level bars published.
  void PullSecondInput(int32_t lngLen);
  // `loss` of the second input, the block pulled beginning at the first input's frame `blockFrame`.
  void SecondInputLost(const SecondInput::Loss& loss, int64_t blockFrame, int64_t blockFrames);
  // The second input of the take that starts now; its warning when it did not open.
  void BeginSecondInput(const RecordingFormat& format);
  // The window's copy of the recorder's state and texts (with the newest block when `block`).
  void Publish(bool block = false);
  void KeepPausedInput(std::span<const int16_t> intBuffer);
  // Effects, length and encoder for one recorded block.
  void ProcessBlock(std::span<const int16_t> intBuffer, int32_t lngLen);
  // `bytes` of recorded audio: its length counts, and it goes into the take's files.
  void EncodeRecorded(const int16_t* data, int32_t bytes);
  // Recorded audio of a hands-free recording: split into parts by time.
  void RecordSamples(std::span<const int16_t> samples);
  void RecordHandsFree(std::span<const int16_t> recorded);
  void StartHandsFree(int32_t rate, int16_t channels);
  // SoundGate::Listener
  void TakeStarts() override;
  void TakeAudio(std::span<const int16_t> samples) override;
  void TakeEnds() override;

  CaptureEngine& clsRecorder_;
  Encoder& clsEncoder_;
  clsDSP& clsEffects_;
  RecorderView& view_;
  MessageBoxService& messages_;
  std::vector<std::string>* collecting_ = nullptr;  // where Warn puts warnings; none: the boxes
  bool declined_ = false;  // the running start's file was kept at the user's word
  RecordingMonitor* monitor_ = nullptr;
  int64_t deliveredBytes_ = 0;  // every captured byte handed to GotData in this recording
  DiskSpaceGuard diskGuard_;
  TakeFiles files_;  // after diskGuard_, which it checks

  std::vector<int16_t> intVisSamples_ = std::vector<int16_t>(1024, 0);
  int32_t lngRecMS_ = 0;
  int32_t lngBytesPerSec_ = 0;
  uint64_t blockSerial_ = 0;
  bool stopping_ = false;    // inside Stop: the engine delivers the rest
  bool paused_ = false;      // kept through Stop, so the rest it delivers is not written
  std::vector<int16_t> pausedSamples_;  // the newest block captured while paused
  HandsFreeSettings handsFree_;
  HandsFreeSettings running_;     // what the running recording started with
  TakeTexts texts_;
  SoundGate gate_;
  int64_t framesPerPart_ = 0;
  int64_t samplesPerPart_ = 0;    // 0: no split by time
  int64_t samplesInPart_ = 0;
  bool inHandsFreeBlock_ = false;  // a failure's stop waits for the block's end
  LoudnessReading finalLoudness_;
  double finalSeconds_ = 0;
  int64_t recordedBytes_ = 0;  // of the input, into the file: what lngRecMS counts
  int64_t endAfterBytes_ = INT64_MAX;  // EndAfter's limit on deliveredBytes_
  int64_t endAtFileBytes_ = INT64_MAX;  // EndAtFileSize's limit
  bool monitorWanted_ = false;
  bool deviceLost_ = false;           // the monitor stays closed until the next choice
  double preRecordSeconds_ = 0;       // kept while monitoring
  PreRecordRing preRecord_;           // the monitor's newest input, after effects
  RecordingFormat monitorFormat_;     // of the open monitor
  LoudnessMeter monitorLoudness_;     // of the monitored input: what the meters show before a take
  ClipCounter monitorClips_;
  int64_t pressMark_ = INT64_MAX;     // StartFrom's, for the next start
  std::optional<double> pressPreRecord_;
  int64_t takeStart_ = 0;
  SecondInputSettings second_;        // for the next start
  SecondTrack secondTrack_;           // of the running take
  int32_t blockAlign_ = 4;            // of the running take's first input
  bool secondLostTold_ = false;  // the user heard the second input is gone
};
