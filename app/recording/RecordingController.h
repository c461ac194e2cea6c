// RecordingController: starts and stops a recording, routes every captured block
// through the effects chain into the encoder, keeps the newest processed block for
// the displays, makes the status texts, and numbers the output files.
//
// Per block: copy -> clsDSP::ProcessSamples (in place) -> Encode(exactly lngLen bytes).
// A file that reaches its type's size limit is finished and the recording goes
// on, from the refused block on, in the next part: the next numbered file, or
// for a file the user named, "<name> (2).<ext>", " (3)" ... (never one that
// holds data); after the stop the user is told which files hold it.
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
#include <chrono>
#include <climits>
#include <optional>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "metering/ClipCounter.h"
#include "app/recording/DiskSpaceGuard.h"
#include "capture/CaptureSink.h"
#include "app/recording/FileCounter.h"
#include "app/handsfree/HandsFreeSettings.h"
#include "metering/LoudnessMeter.h"
#include "app/recording/RecordingFormat.h"
#include "app/handsfree/SoundGate.h"
#include "app/recording/TakeMarkers.h"
#include "app/review/TakeOverview.h"
#include "app/recording/TakeTexts.h"
#include "encoding/Encoder.h"
#include "tagging/TakeMetadata.h"

class CaptureEngine;
class clsDSP;
class MessageBoxService;
class QuestionService;
class RecorderView;
class RecordingMonitor;

class RecordingController : public CaptureSink, private SoundGate::Listener {
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
  void Questions(QuestionService* questions) { questions_ = questions; }
  // The user agreed (in the save dialog) to replace `path`: the next start
  // into exactly that file replaces it without asking again.
  void ReplaceConfirmed(const std::string& path) { confirmedReplacement_ = path; }
  // The question before replacing `path`.
  static std::string ReplaceQuestion(const std::string& path);
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
  // Parts of this many frames instead of splitMinutes (for parts shorter than
  // a minute); 0: as the settings say.
  void FramesPerPart(int64_t frames) { framesPerPart_ = frames; }
  // false: a take into a file the user named leaves the counter as it is (the
  // terminal's named files are no part of the numbered series); the window's
  // named takes move it on, as they always have.
  void NamedTakesAdvanceCounter(bool value) { namedTakesAdvance_ = value; }
  // The running recording's sound gate (where the takes were decided).
  const SoundGate& Gate() const { return gate_; }

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
  const TakeMarkers& Markers() const { return markers_; }
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
  // Counts delivered blocks; changes whenever intVisSamples does.
  uint64_t BlockSerial() const { return blockSerial_; }
  int32_t lngRecMS() const { return lngRecMS_; }  // recorded length, 0 when idle
  int32_t lngBytesPerSec() const { return lngBytesPerSec_; }  // 0 when idle
  FileCounter& Counter() { return counter_; }
  // The last (or running) take's first file and overview.
  const TakeOverview& Take() const { return take_; }

  // Status bar panels: "文件大小: ..." and "长度: m:ss" ("长度: m:ss (已暂停)"
  // while paused), the idle texts when idle.
  std::string StatusSizeText() const;
  std::string StatusSizeText(int64_t bytes) const;
  std::string StatusLengthText() const;
  // Size of the file being recorded as it is on the disk; -1 when idle or not there.
  int64_t OutputFileBytes() const;
  // Third panel: input the server had to drop during this recording, "输入丢失: N".
  std::string StatusLostText() const;

  // Byte count as "N bytes", "N KB", "N.N MB" or "N.N GB"; empty when negative.
  static std::string FormatSize(double S);
  // Milliseconds as minutes ":" two-digit seconds, seconds rounded half to even.
  static std::string FormatLength(int32_t ms);


  // Message box titles and texts, in the interface's language.
  static std::string CheckCaption();  // "提示"
  static std::string ContinuedMarkerName();  // the marker at the start of a continued file
  static std::string NoDeviceMessage();  // "没有选择硬件设备!"
  static std::string BadRateMessage();
  static constexpr const char* kAppCaption = "Tamblin";

 private:
  static std::string CannotCreateMessage(const QString& file);
  // Why it did not start; empty when it runs.
  std::string Start(int64_t endAfterBytes);
  // TryStart, its refusal and warnings shown in the boxes.
  void StartShowingRefusal(int64_t endAfterBytes);
  // A warning ("Tamblin"), collected while a caller takes them (collecting_).
  void Warn(const std::string& text);
  // Opens the encoder on the output box's file; why no recording can start there, empty when open.
  std::string OpenOutput(int32_t rate, int16_t channels);
  EncoderResult OpenNumberedFile(int32_t rate, int16_t channels);
  EncoderResult OpenChosenFile(int32_t rate, int16_t channels);
  bool OutputIsNumbered() const;
  void Stop(int64_t upTo = INT64_MAX);
  // The messages about input lost during the recording that just stopped.
  void ReportLosses(int64_t lost, int64_t lostToQueue);
  void PrepareNextFile();
  // The window's copy of the recorder's state and texts (with the newest block when `block`).
  void Publish(bool block = false);
  void SaveCounter();
  void StopAfterEncoderFailure(const std::string& message);
  void KeepPausedInput(std::span<const int16_t> intBuffer);
  // Effects, length and encoder for one recorded block.
  void ProcessBlock(std::span<const int16_t> intBuffer, int32_t lngLen);
  // Loudness and clips of the `bytes` at `data` that went into the file.
  void MeasureWritten(const int16_t* data, int32_t bytes);
  // The file is full; the block of `bytes` it refused starts the next part.
  void ContinueInNextPart(const int16_t* data, int32_t bytes);
  // Finishes the current part (when open) and opens the next one; false when
  // that failed and the recording is ending with `failure` as the reason.
  bool MoveToNextPart(const std::string& failure);
  // Encodes `bytes` of recorded audio, with the length, the size limit and the disk check.
  void EncodeRecorded(const int16_t* data, int32_t bytes);
  // Recorded audio of a hands-free recording: split into parts by time.
  void RecordSamples(std::span<const int16_t> samples);
  void RecordHandsFree(std::span<const int16_t> recorded);
  // The part being written is complete.
  void CloseOutput();
  // A part was opened: its markers and start time begin.
  void BeginPart();
  // The closed part's markers and tags go into it (and its label file).
  void WriteMetadata();
  // Whether the file type's loudness is measured on the finished file, decoded (a lossy type whose
  // encoder changes it), instead of on the samples handed to the encoder.
  bool LoudnessFromFile() const;
  // The loudness of exactly the samples the part being closed holds; none for silence.
  std::optional<TakeMetadata::Loudness> PartLoudness();
  // At the stop: false when an armed recording never started a take (its file
  // went back to how it was), so nothing was recorded.
  bool FinishOutput();
  void StartHandsFree(int32_t rate, int16_t channels);
  // SoundGate::Listener
  void TakeStarts() override;
  void TakeAudio(std::span<const int16_t> samples) override;
  void TakeEnds() override;
  EncoderResult OpenNextPart();
  // "<name> (n).<ext>" beside the first part, from the next n on.
  EncoderResult OpenNumberedSibling();
  // After a stop: which files hold a recording of more than one part.
  void ReportParts();

  CaptureEngine& clsRecorder_;
  Encoder& clsEncoder_;
  clsDSP& clsEffects_;
  RecorderView& view_;
  MessageBoxService& messages_;
  std::vector<std::string>* collecting_ = nullptr;  // where Warn puts warnings; none: the boxes
  bool declined_ = false;  // the running start's file was kept at the user's word
  QuestionService* questions_ = nullptr;
  RecordingMonitor* monitor_ = nullptr;
  int64_t deliveredBytes_ = 0;  // every captured byte handed to GotData in this recording
  std::string confirmedReplacement_;
  FileCounter counter_;
  DiskSpaceGuard diskGuard_;

  std::vector<int16_t> intVisSamples_ = std::vector<int16_t>(1024, 0);
  int32_t lngRecMS_ = 0;
  int32_t lngBytesPerSec_ = 0;
  uint64_t blockSerial_ = 0;
  bool stopping_ = false;    // inside Stop: the engine delivers the rest
  bool paused_ = false;      // kept through Stop, so the rest it delivers is not written
  std::vector<int16_t> pausedSamples_;  // the newest block captured while paused
  std::string stopFailure_;  // an encoder failure ending the recording, told after the stop
  RecordingFormat format_;   // of the running recording
  std::vector<std::string> parts_;  // the running recording's files, first to current
  HandsFreeSettings handsFree_;
  HandsFreeSettings running_;     // what the running recording started with
  TakeTexts texts_;
  TakeTexts runningTexts_;        // what the running recording started with
  SoundGate gate_;
  int64_t framesPerPart_ = 0;
  int64_t samplesPerPart_ = 0;    // 0: no split by time
  int64_t samplesInPart_ = 0;
  bool outputOpen_ = false;       // a part is open for writing
  bool sizeLimited_ = false;      // a part was full: the user is told where the rest went
  bool inHandsFreeBlock_ = false;  // a failure's stop waits for the block's end
  LoudnessMeter loudness_;       // the whole recording
  LoudnessMeter partLoudness_;   // the part being written, from the second part on
  bool partLoudnessRunning_ = false;
  ClipCounter clips_;
  LoudnessReading finalLoudness_;
  double finalSeconds_ = 0;
  int64_t recordedBytes_ = 0;  // of the input, into the file: what lngRecMS counts
  TakeOverview take_;
  TakeMarkers markers_;  // of the part being written
  std::chrono::system_clock::time_point partStart_;
  int64_t endAfterBytes_ = INT64_MAX;  // EndAfter's limit on deliveredBytes_
  bool namedTakesAdvance_ = true;
  bool numberedTake_ = false;  // the running recording began in the numbered file
  int64_t endAtFileBytes_ = INT64_MAX;  // EndAtFileSize's limit
};
