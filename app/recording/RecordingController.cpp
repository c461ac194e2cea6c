#include "app/recording/RecordingController.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cmath>

#include "app/recording/CaptureEngine.h"
#include "metering/BlockPeak.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/JournalPendingFiles.h"
#include "app/recording/RecordingJournal.h"
#include "app/recording/RecordingRecovery.h"
#include "app/recording/RecorderView.h"
#include "app/recording/RecordingMonitor.h"
#include "common/FileTypes.h"
#include "common/MessageBoxService.h"
#include "effects/clsDSP.h"
#include "encoding/Encoder.h"
#include "encoding/EncoderSelection.h"

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// A path as it goes into a message's %1.
QString Path(const std::string& utf8) { return QString::fromStdString(utf8); }

// A message with its cause (the server's or system's words) on a second line.
std::string WithCause(const std::string& message, const std::string& cause) {
  return cause.empty() ? message : message + "\n" + cause;
}


}  // namespace

RecordingController::RecordingController(CaptureEngine& clsRecorder, Encoder& clsEncoder, clsDSP& clsEffects,
                                         RecorderView& view, MessageBoxService& messages)
    : clsRecorder_(clsRecorder),
      clsEncoder_(clsEncoder),
      clsEffects_(clsEffects),
      view_(view),
      messages_(messages),
      files_(clsEncoder, view, messages, diskGuard_, *this) {}

void RecordingController::StartUp(std::vector<std::string>* warnings) {
  collecting_ = warnings;
  if (!FileCounter::EnsureOutputFolder()) {
    Warn(ToUtf8(tr("无法创建输出文件夹 %1 !").arg(ProgramFolder::OutputFolder())));
  }
  // Recordings a killed process left behind are mended before anything else.
  const auto recovery = RecordingRecovery::Scan(RecordingJournal());
  if (!recovery.Empty()) Warn(RecordingRecovery::Message(recovery));
  // From now on the files made on the way to a tagged take or a cut are noted for the next start.
  static JournalPendingFiles pendingFiles;
  PendingFiles::Install(&pendingFiles);
  files_.LoadCounter();
  collecting_ = nullptr;
  Publish();
}

void RecordingController::FileTypeChanged() {
  if (clsRecorder_.IsRecording()) return;
  files_.ExtensionChanged();
}

bool RecordingController::IsRecording() const { return clsRecorder_.IsRecording(); }

void RecordingController::Toggle() {
  if (clsRecorder_.IsRecording()) {
    Stop();
  } else {
    StartShowingRefusal(INT64_MAX);
  }
}

void RecordingController::StartIfIdle(int64_t endAfterBytes) {
  if (!clsRecorder_.IsRecording()) StartShowingRefusal(endAfterBytes);
}

void RecordingController::StopIfRecording(int64_t upTo) {
  if (clsRecorder_.IsRecording()) Stop(upTo);
}

void RecordingController::Shutdown() {
  monitorWanted_ = false;
  if (clsRecorder_.IsRecording()) Toggle();
  CloseMonitor();
}


RecordingController::StartResult RecordingController::TryStart(int64_t endAfterBytes) {
  StartResult result;
  // Starting, whoever asked (a door has moved there already); a refusal goes back to Idle.
  if (monitor_) monitor_->StartRequested();
  collecting_ = &result.warnings;
  declined_ = false;
  result.refusal = Start(endAfterBytes);
  result.declined = declined_;
  collecting_ = nullptr;
  result.started = result.refusal.empty() && clsRecorder_.IsRecording();
  if (!result.started && monitor_) monitor_->StartHandled();
  return result;
}

void RecordingController::StartShowingRefusal(int64_t endAfterBytes) {
  const StartResult result = TryStart(endAfterBytes);
  if (!result.refusal.empty() && !result.declined) messages_.ShowWarning(CheckCaption(), result.refusal);
  for (const std::string& warning : result.warnings) messages_.ShowWarning(kAppCaption, warning);
}

void RecordingController::Warn(const std::string& text) {
  if (collecting_) {
    collecting_->push_back(text);
  } else {
    messages_.ShowWarning(kAppCaption, text);
  }
}

std::string RecordingController::Start(int64_t endAfterBytes) {
  endAfterBytes_ = endAfterBytes;
  endAtFileBytes_ = INT64_MAX;
  if (view_.OutputFile().empty()) return ToUtf8(tr("没有指定输出文件!"));
  if (!view_.DeviceChosen()) return NoDeviceMessage();
  // Never one type under another's extension: every door sets the type from the name first.
  if (const auto named = FileTypes::OfPath(view_.OutputFile());
      named && *named != FileTypes::OfExtension(clsEncoder_.Extension()).value_or(FileTypes::TYPE_WAV)) {
    return TypeMismatchMessage(view_.OutputFile(), clsEncoder_.Extension());
  }
  const std::optional<RecordingFormat> format = view_.Format();
  if (!format) return BadRateMessage();
  const int32_t rate = format->rate;
  const int16_t channels = format->channels;
  const TakeStart from = CatchUpToPress(*format);
  files_.Tracks(second_.Active() ? TakeTracks(second_.tracks, channels, second_.firstGainDb, second_.secondGainDb)
                                 : TakeTracks());

  // Room for ten seconds of the chosen format, in every file; unknown formats count as the input.
  const int64_t outputBytesPerSecond =
      (clsEncoder_.TargetBytesPerSecond() > 0 ? clsEncoder_.TargetBytesPerSecond() : int64_t{rate} * 2 * channels) *
      static_cast<int64_t>(files_.Files());
  if (!diskGuard_.RoomToStart(view_.OutputFile(), outputBytesPerSecond)) {
    return ToUtf8(tr("磁盘空间不足, 无法开始录音!"));
  }

  lngBytesPerSec_ = format->BytesPerSecond();
  if (std::string why = files_.Open(*format); !why.empty()) {
    declined_ = files_.Declined();
    lngBytesPerSec_ = 0;
    return why;
  }
  // Over the monitor the effects run on undisturbed (setting the rate starts
  // the echo, sweep and filters afresh): the kept and the live input meet
  // without a seam. Never throw: the rate passed RecordingFormat::ParseRate
  // (1000..96000), the channels are 1 or 2.
  if (!from.overMonitor) {
    clsEffects_.samplerate(rate);
    clsEffects_.Channels(channels);
  }
  lngRecMS_ = 0;
  recordedBytes_ = 0;
  deliveredBytes_ = 0;
  finalLoudness_ = {};
  finalSeconds_ = 0;

  if (!clsRecorder_.StartRecord(rate, channels)) {
    // Nothing is captured: the file goes back to how it was (a numbered one
    // stays empty for the next try, a new one goes) and the program stays idle.
    files_.CancelOpen();
    lngBytesPerSec_ = 0;
    return WithCause(ToUtf8(tr("不能启动录音功能!")), clsRecorder_.StartFailure());
  }
  BeginSecondInput(*format);
  takeStart_ = from.position;
  deliveredBytes_ = takeStart_ - static_cast<int64_t>(from.preRecordSamples * sizeof(int16_t));
  if (endAfterBytes != INT64_MAX) endAfterBytes_ = takeStart_ + endAfterBytes;
  diskGuard_.Begin(view_.OutputFile(), outputBytesPerSecond, lngBytesPerSec_);
  StartHandsFree(rate, channels);
  if (monitor_) monitor_->PublishFile(view_.OutputFile());
  files_.Begin(texts_);
  if (secondLostTold_) files_.Mark(SecondInputLostMarkerName());
  ReplayPreRecord(from.preRecordSamples);
  Publish();  // recording, once all of the start is done
  return {};
}

void RecordingController::BeginSecondInput(const RecordingFormat& format) {
  blockAlign_ = format.BlockAlign();
  secondLostTold_ = false;
  const std::string why = secondTrack_.Begin(second_, format);
  if (why.empty()) return;
  // Told once: the take goes on, its second track silent from the start.
  secondLostTold_ = true;
  Warn(WithCause(ToUtf8(tr("无法打开输入 2, 它的音轨是静音; 输入 1 照常录音!")), why));
}

RecordingController::TakeStart RecordingController::CatchUpToPress(const RecordingFormat& format) {
  const int64_t press = pressMark_ != INT64_MAX ? pressMark_ : clsRecorder_.MarkReceived();
  const double preRecordSeconds = std::min(pressPreRecord_.value_or(preRecordSeconds_), preRecordSeconds_);
  pressMark_ = INT64_MAX;
  pressPreRecord_.reset();
  // Another format reopens the input, which then counts from 0 and keeps nothing from before.
  if (!MonitorOpen() || format.rate != monitorFormat_.rate || format.channels != monitorFormat_.channels) {
    preRecord_.Clear();
    return {};
  }
  clsRecorder_.DeliverReceived(press);
  // A sound-activated take keeps the gate's own pre-roll.
  if (handsFree_.sound.enabled) return {press, 0, true};
  const auto frames = static_cast<size_t>(std::llround(preRecordSeconds * format.rate));
  return {press, std::min(preRecord_.Size(), frames * static_cast<size_t>(format.channels)), true};
}

void RecordingController::ReplayPreRecord(size_t samples) {
  // Kept after effects: it goes to the file as the live blocks would have.
  inHandsFreeBlock_ = true;  // a failure's stop waits for the replay's end
  preRecord_.ForNewest(samples, [this](std::span<const int16_t> piece) {
    deliveredBytes_ += static_cast<int64_t>(piece.size_bytes());
    // The second input opened at the press: nothing of it goes with what came before.
    RecordSamples(secondTrack_.Active() ? secondTrack_.WidenWithSilence(piece) : piece);
  });
  inHandsFreeBlock_ = false;
  // The take holds it now; the monitor keeps afresh after the stop.
  preRecord_.Clear();
  if (files_.Failed() && clsRecorder_.IsRecording()) Toggle();
}

void RecordingController::StartFrom(int64_t pressMark, double preRecordSeconds) {
  pressMark_ = pressMark;
  pressPreRecord_ = preRecordSeconds;
}

void RecordingController::Monitoring(bool on, double preRecordSeconds) {
  monitorWanted_ = on;
  deviceLost_ = false;
  const bool capacityChanged = preRecordSeconds != preRecordSeconds_;
  preRecordSeconds_ = std::clamp(preRecordSeconds, 0.0, 600.0);
  if (clsRecorder_.IsRecording()) {
    if (!on) clsRecorder_.CloseInput();  // closed at the take's stop
    return;
  }
  if (!on) return CloseMonitor();
  OpenMonitor(capacityChanged);
  Publish();
}

bool RecordingController::MonitorOpen() const { return clsRecorder_.InputHeld() && !clsRecorder_.IsRecording(); }

void RecordingController::ReopenMonitor(bool deviceChanged) {
  deviceLost_ = false;
  if (clsRecorder_.IsRecording() || !monitorWanted_) return;
  if (deviceChanged) clsRecorder_.CloseInput();
  OpenMonitor();
  Publish();
}

std::string RecordingController::OpenMonitor(bool afresh) {
  const std::optional<RecordingFormat> format = view_.Format();
  std::string why = !view_.DeviceChosen() ? NoDeviceMessage() : !format ? BadRateMessage() : std::string();
  const bool open = MonitorOpen();
  if (why.empty() && !clsRecorder_.OpenInput(format->rate, format->channels)) {
    why = WithCause(ToUtf8(tr("不能启动录音功能!")), clsRecorder_.StartFailure());
  }
  if (!why.empty()) {
    CloseMonitor();
    return why;
  }
  if (afresh || !open || format->rate != monitorFormat_.rate || format->channels != monitorFormat_.channels) {
    BeginMonitoring(*format);
  }
  return {};
}

void RecordingController::CloseMonitor() {
  if (!clsRecorder_.IsRecording()) clsRecorder_.CloseInput();
  preRecord_.Clear();
  Publish();
}

void RecordingController::BeginMonitoring(const RecordingFormat& format) {
  monitorFormat_ = format;
  // Never throw: RecordingFormat::ParseRate took the rate (1000..96000), the channels are 1 or 2.
  clsEffects_.samplerate(format.rate);
  clsEffects_.Channels(format.channels);
  monitorLoudness_.Begin(format.rate, format.channels);
  monitorClips_.Begin(format.channels);
  const auto frames = static_cast<size_t>(std::llround(preRecordSeconds_ * format.rate));
  preRecord_.Capacity(frames * static_cast<size_t>(format.channels));
}

void RecordingController::MonitorBlock(std::span<const int16_t> intBuffer, int32_t lngLen) {
  const auto bytes = std::clamp<int32_t>(lngLen, 0, static_cast<int32_t>(intBuffer.size_bytes()));
  const size_t samples = static_cast<size_t>(bytes) / sizeof(int16_t);
  // Only the input through the effects: a cut buffer's stale rest would run
  // into the echo that a take over the monitor goes on with.
  TakeBlock(intBuffer, samples);
  if (MonitorOpen()) {
    const std::span<const int16_t> block(intVisSamples_.data(), samples);
    preRecord_.Add(block);
    monitorLoudness_.Add(block);
    monitorClips_.Add(block, [this](int16_t channel) { return monitorLoudness_.BlockTruePeakOverLimit(channel); });
  }
  Publish(true);
}

std::string RecordingController::TypeMismatchMessage(const std::string& path, const std::string& type) {
  return ToUtf8(tr("文件 %1 的扩展名与文件类型 %2 不符!").arg(Path(path), Q(type)));
}

void RecordingController::Stop(int64_t upTo) {
  // The rest of the recording arrives through GotData inside StopRecord.
  stopping_ = true;
  Publish();  // finishing: the window leaves the file and its type alone meanwhile
  const bool stopped = upTo == INT64_MAX ? clsRecorder_.StopRecord() : clsRecorder_.StopRecord(upTo);
  const int64_t lost = clsRecorder_.LostInputCount();
  const int64_t lostToQueue = clsRecorder_.LostToQueueCount();
  secondTrack_.End();
  if (monitor_) {
    monitor_->PublishSecondPeaks(false, {});
    monitor_->PublishEchoDelay(std::nullopt);
  }
  stopping_ = false;
  paused_ = false;
  finalLoudness_ = files_.FinalLoudness();
  // An armed recording that never started a take leaves its file as it was: nothing was recorded.
  const bool recorded = !running_.sound.enabled || gate_.Takes() > 0;
  files_.Finish(recorded);
  diskGuard_.End();
  finalSeconds_ = static_cast<double>(recordedBytes_) / lngBytesPerSec_;
  lngRecMS_ = 0;
  lngBytesPerSec_ = 0;
  files_.ReserveNextFile(recorded);
  // The input goes on for the meters (reopened when the choices changed meanwhile).
  if (monitorWanted_ && !deviceLost_) OpenMonitor(true);
  // Only now is the recorder idle and a start taken: a start asked before (the
  // counter's sync may take long) is refused while the stop finishes.
  Publish();
  // Reported last: the box keeps dispatching events, and the stop is complete by now.
  if (!stopped) messages_.ShowWarning(CheckCaption(), ToUtf8(tr("此时无法停止录音!")));
  ReportLosses(lost, lostToQueue);
  if (const std::string failure = files_.TakeFailure(); !failure.empty()) messages_.ShowWarning(kAppCaption, failure);
  files_.ReportParts();
}

void RecordingController::ReportLosses(int64_t lost, int64_t lostToQueue) {
  // A gap in the file must not go unnoticed, nor what to do about it.
  if (lostToQueue > 0) {
    const QString folder = QFileInfo(Q(files_.Parts().empty() ? view_.OutputFile() : files_.Parts().back())).absolutePath();
    messages_.ShowWarning(kAppCaption,
                          ToUtf8(tr("录音中有 %1 处输入丢失 (磁盘写入跟不上: %2), 文件在这些地方有间断!")
                                     .arg(lostToQueue)
                                     .arg(folder)));
  }
  if (lost - lostToQueue > 0) {
    messages_.ShowWarning(kAppCaption,
                          ToUtf8(tr("录音中有 %1 处输入丢失 (系统太忙), 文件在这些地方有间断!").arg(lost - lostToQueue)));
  }
}

void RecordingController::Publish(bool block) {
  if (monitor_ == nullptr) return;
  if (block) {
    monitor_->PublishBlock(intVisSamples_, BlockPeak::OfChannels(LevelSamples(), clsEffects_.Channels()), blockSerial_,
                           deliveredBytes_);
  }
  const bool monitoring = MonitorOpen() && !stopping_;
  const bool measuring = clsRecorder_.IsRecording() || stopping_;
  if (monitoring) {
    monitor_->PublishMeters(monitorLoudness_.Live(), {monitorClips_.Clips(0), monitorClips_.Clips(1)});
  } else {
    monitor_->PublishMeters(measuring ? files_.LiveLoudness() : finalLoudness_,
                            {files_.Clips().Clips(0), files_.Clips().Clips(1)});
  }
  monitor_->PublishCounts({.capturing = clsRecorder_.IsRecording(),
                           .paused = paused_,
                           .fileBytes = OutputFileBytes(),
                           .lengthMs = lngRecMS_,
                           .lostCount = clsRecorder_.LostInputCount()});
  const SoundActivation& sound = clsRecorder_.IsRecording() ? running_.sound : handsFree_.sound;
  const bool armed = clsRecorder_.IsRecording() && sound.enabled;
  monitor_->PublishRunning(clsRecorder_.IsRecording() && !stopping_, paused_, armed && !gate_.InTake(), stopping_,
                           lngBytesPerSec_, monitoring);
  monitor_->PublishHandsFree(armed && !gate_.InTake(), armed && gate_.InTake() ? gate_.Takes() : 0,
                             sound.enabled ? SoundGate::ThresholdAmplitude(sound.thresholdDbfs) / 32768.0 : 0.0);
}

void RecordingController::TogglePause() { TogglePause(INT64_MAX); }

void RecordingController::TogglePause(int64_t mark) { Pause(!paused_, mark); }

void RecordingController::Pause(bool pause, int64_t mark) {
  if (!clsRecorder_.IsRecording() || stopping_ || pause == paused_) return;
  // Input received up to the click belongs to the side of the click it came on.
  if (mark == INT64_MAX) {
    clsRecorder_.DeliverReceived();
  } else {
    clsRecorder_.DeliverReceived(mark);
  }
  // An encoder failure in those blocks may have ended the recording.
  if (!clsRecorder_.IsRecording()) return;
  paused_ = pause;
  // The level bars show the last recorded block until live input arrives.
  if (paused_) pausedSamples_ = intVisSamples_;
  // A pause may last long: what was recorded before it goes to the disk now,
  // so a kill or a power cut during it loses none of that. A failure here is
  // the disk's, and the next block written after the pause meets it again.
  if (paused_) files_.Checkpoint();
  files_.Mark(paused_ ? ToUtf8(tr("暂停")) : ToUtf8(tr("继续")));
  if (paused_) gate_.ForgetPreRoll();
  Publish(true);
}

void RecordingController::KeepPausedInput(std::span<const int16_t> intBuffer) {
  if (pausedSamples_.size() == intBuffer.size()) {
    std::copy(intBuffer.begin(), intBuffer.end(), pausedSamples_.begin());
  } else {
    pausedSamples_.assign(intBuffer.begin(), intBuffer.end());
  }
}

void RecordingController::GotData(std::span<int16_t> intBuffer, int32_t& lngLen) {
  GotData(std::span<const int16_t>(intBuffer), lngLen);
}

void RecordingController::InputLost(InputLoss) {
  // Counted by the capture engine and told at the stop; the status bar shows
  // the count; the file gets a marker where the gap is.
  if (clsRecorder_.IsRecording() && !paused_) files_.Mark(ToUtf8(tr("输入丢失")));
}

void RecordingController::GotData(std::span<const int16_t> intBuffer, int32_t lngLen) {
  if (!clsRecorder_.IsRecording()) return MonitorBlock(intBuffer, lngLen);
  if (deliveredBytes_ >= endAfterBytes_) return;  // the rest its stop delivers
  if (endAfterBytes_ - deliveredBytes_ < lngLen) lngLen = static_cast<int32_t>(endAfterBytes_ - deliveredBytes_);
  deliveredBytes_ += std::max(lngLen, 0);
  // Pulled while paused too: its stretches follow one another, and its level bars go on.
  if (secondTrack_.Active()) PullSecondInput(std::max(lngLen, 0));
  if (paused_) {
    KeepPausedInput(intBuffer);
  } else {
    ProcessBlock(intBuffer, lngLen);
  }
  Publish(true);
  if (stopping_ || !clsRecorder_.IsRecording()) return;
  if (deliveredBytes_ >= endAfterBytes_ ||
      (endAtFileBytes_ != INT64_MAX && OutputFileBytes() >= endAtFileBytes_)) {
    Toggle();
  }
}

void RecordingController::TakeBlock(std::span<const int16_t> intBuffer, size_t effectSamples) {
  // Same length as last time (the usual case): copy without allocating.
  if (intVisSamples_.size() == intBuffer.size()) {
    std::copy(intBuffer.begin(), intBuffer.end(), intVisSamples_.begin());
  } else {
    intVisSamples_.assign(intBuffer.begin(), intBuffer.end());
  }
  // Before the effects: the canceller's reference is the computer's sound as it was played.
  if (secondTrack_.Active()) secondTrack_.CancelEcho(intVisSamples_);
  clsEffects_.ProcessSamples(std::span(intVisSamples_).first(std::min(effectSamples, intVisSamples_.size())));
  ++blockSerial_;
}

void RecordingController::ProcessBlock(std::span<const int16_t> intBuffer, int32_t lngLen) {
  TakeBlock(intBuffer);
  if (!clsRecorder_.IsRecording() || lngBytesPerSec_ <= 0) return;
  // A failure is ending the recording: what its stop still delivers is not written.
  if (files_.Failed()) return;

  const auto bytes = std::clamp<int32_t>(lngLen, 0, static_cast<int32_t>(intVisSamples_.size() * sizeof(int16_t)));
  std::span<const int16_t> recorded(intVisSamples_.data(), static_cast<size_t>(bytes) / sizeof(int16_t));
  if (secondTrack_.Active()) recorded = secondTrack_.Widen(recorded);
  if (running_.sound.enabled || samplesPerPart_ > 0) {
    RecordHandsFree(recorded);
  } else {
    EncodeRecorded(recorded.data(), static_cast<int32_t>(recorded.size_bytes()));
  }
}

void RecordingController::RecordHandsFree(std::span<const int16_t> recorded) {
  // A failure stops the recording only after the block: the stop delivers
  // more blocks into intVisSamples_, which `recorded` is a view of.
  inHandsFreeBlock_ = true;
  if (running_.sound.enabled) {
    gate_.Feed(recorded, *this);
  } else {
    RecordSamples(recorded);
  }
  inHandsFreeBlock_ = false;
  if (files_.Failed() && !stopping_ && clsRecorder_.IsRecording()) Toggle();
}

void RecordingController::EncodeRecorded(const int16_t* data, int32_t bytes) {
  if (!files_.Writable()) return;
  const int32_t inputBytes = bytes / files_.Inputs();  // of the first input: what the length counts
  lngRecMS_ = static_cast<int32_t>(
      std::nearbyint(static_cast<double>(inputBytes) / lngBytesPerSec_ * 1000.0 + lngRecMS_));
  recordedBytes_ += inputBytes;
  files_.Write(data, bytes);
}

void RecordingController::WritingFailed() {
  // Told once, after the stop; a stop already under way reports it itself.
  if (!stopping_ && !inHandsFreeBlock_) Toggle();
}

void RecordingController::PartOpened(const std::string& path) {
  samplesInPart_ = 0;
  if (monitor_) monitor_->PublishFile(path);
}

bool RecordingController::AddMarker(int64_t mark, const std::string& name) {
  if (!clsRecorder_.IsRecording() || stopping_) return false;
  if (mark == INT64_MAX) {
    clsRecorder_.DeliverReceived();
  } else {
    clsRecorder_.DeliverReceived(mark);
  }
  return clsRecorder_.IsRecording() && files_.MarkAsked(name);
}

void RecordingController::StartHandsFree(int32_t rate, int16_t channels) {
  running_ = handsFree_;
  const int64_t frames = framesPerPart_ > 0 ? framesPerPart_ : int64_t{running_.splitMinutes} * 60 * rate;
  // Counted in recorded samples: a two-input take's frames hold both inputs.
  const int16_t recordedChannels = static_cast<int16_t>(channels * files_.Inputs());
  samplesPerPart_ = std::max<int64_t>(frames, 0) * recordedChannels;
  samplesInPart_ = 0;
  const int16_t listened = second_.gateOnEither ? recordedChannels : channels;
  if (running_.sound.enabled) gate_.Configure(running_.sound, rate, recordedChannels, listened);
}

void RecordingController::RecordSamples(std::span<const int16_t> samples) {
  // The encoders take at most one second per block; a replayed pre-roll is up to 30.
  const auto samplesPerSecond = static_cast<size_t>(lngBytesPerSec_) / sizeof(int16_t) * static_cast<size_t>(files_.Inputs());
  while (!samples.empty() && !files_.Failed()) {
    if (samplesPerPart_ > 0 && samplesInPart_ >= samplesPerPart_) {
      if (!files_.MoveToNextPart(ToUtf8(tr("无法创建下一个文件, 录音已停止!")))) return;
      files_.Mark(TakeFiles::ContinuedMarkerName());
    }
    size_t n = std::min(samples.size(), samplesPerSecond);
    if (samplesPerPart_ > 0) n = std::min(n, static_cast<size_t>(samplesPerPart_ - samplesInPart_));
    EncodeRecorded(samples.data(), static_cast<int32_t>(n * sizeof(int16_t)));
    samplesInPart_ += static_cast<int64_t>(n);
    samples = samples.subspan(n);
  }
}

void RecordingController::TakeStarts() {
  // NewFile mode: the previous take's part was finished at its end.
  if (!files_.PartOpen()) files_.MoveToNextPart(ToUtf8(tr("无法创建下一个文件, 录音已停止!")));
}

void RecordingController::TakeAudio(std::span<const int16_t> samples) { RecordSamples(samples); }

void RecordingController::TakeEnds() {
  if (running_.sound.afterSilence == SoundActivation::AfterSilence::NewFile) {
    files_.Close();
  } else {
    // The wait for the next take may last long: the take goes to the disk now.
    files_.Checkpoint();
  }
}

void RecordingController::DeviceLost(const std::string& reason) {
  // No monitor on a device that is gone, until the user chooses one again.
  deviceLost_ = true;
  if (clsRecorder_.IsRecording()) {
    clsRecorder_.CloseInput();  // the take's stop closes it
    Toggle();
  } else if (MonitorOpen()) {
    CloseMonitor();
  } else {
    return;
  }
  messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("录音设备已断开, 录音已停止!")), reason));
}

void RecordingController::PullSecondInput(int32_t lngLen) {
  const int64_t blockFrame = (deliveredBytes_ - lngLen) / blockAlign_;
  secondTrack_.Pull(blockFrame, static_cast<size_t>(lngLen) / sizeof(int16_t));
  for (const SecondInput::Loss& loss : secondTrack_.TakeLosses()) SecondInputLost(loss, blockFrame, lngLen / blockAlign_);
  if (monitor_) {
    monitor_->PublishSecondPeaks(true, secondTrack_.Peaks());
    monitor_->PublishEchoDelay(secondTrack_.EchoDelayMs());
  }
}

void RecordingController::SecondInputLost(const SecondInput::Loss& loss, int64_t blockFrame, int64_t blockFrames) {
  if (!paused_) {
    // Where in the block it begins, when the block goes into the file as it is; else at the block.
    const bool blockWrittenAsIs = !running_.sound.enabled && samplesPerPart_ == 0;
    const int64_t ahead = blockWrittenAsIs ? std::clamp<int64_t>(loss.firstFrame - blockFrame, 0, blockFrames) : 0;
    files_.Mark(SecondInputLostMarkerName(), ahead);
  }
  if (!loss.vanished || secondLostTold_) return;
  secondLostTold_ = true;
  messages_.ShowWarning(kAppCaption,
                        WithCause(ToUtf8(tr("输入 2 已断开, 它的音轨此后是静音; 输入 1 照常录音!")), loss.reason));
}

int64_t RecordingController::OutputFileBytes() const {
  return clsRecorder_.IsRecording() ? clsEncoder_.FileBytes() : -1;
}

std::string RecordingController::SecondInputLostMarkerName() { return ToUtf8(tr("输入 2 丢失")); }
std::string RecordingController::CheckCaption() { return ToUtf8(tr("提示")); }
std::string RecordingController::NoDeviceMessage() { return ToUtf8(tr("没有选择硬件设备!")); }
std::string RecordingController::BadRateMessage() { return ToUtf8(tr("取样率无效! 请输入 1000 到 96000 之间的数字.")); }
std::string RecordingController::StartCaption() { return ToUtf8(tr("开始录音")); }
std::string RecordingController::StopCaption() { return ToUtf8(tr("停止录音")); }
std::string RecordingController::PauseCaption() { return ToUtf8(tr("暂停")); }
std::string RecordingController::ResumeCaption() { return ToUtf8(tr("继续")); }
