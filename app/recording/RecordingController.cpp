#include "app/recording/RecordingController.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cmath>

#include "app/recording/CaptureEngine.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/JournalPendingFiles.h"
#include "app/recording/LoudnessTags.h"
#include "app/recording/RecordingJournal.h"
#include "app/recording/RecordingRecovery.h"
#include "app/recording/RecorderView.h"
#include "app/recording/RecordingMonitor.h"
#include "common/FileTypes.h"
#include "common/MessageBoxService.h"
#include "common/QuestionService.h"
#include "effects/clsDSP.h"
#include "encoding/Encoder.h"
#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

// Numbered files found filled at the start (by another program) before giving up.
constexpr int kNumberedFileTries = 16;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// A path as it goes into a message's %1.
QString Path(const std::string& utf8) { return QString::fromStdString(utf8); }

// A message with its cause (the server's or system's words) on a second line.
std::string WithCause(const std::string& message, const std::string& cause) {
  return cause.empty() ? message : message + "\n" + cause;
}

// What the user is told when Encode fails; every failure ends the recording.
std::string EncoderFailureMessage(EncoderResult result) {
  switch (result) {
    case ENC_WRITE_ERROR:
      return ToUtf8(QCoreApplication::translate("RecordingController", "Write error (no disk space left?)!"));
    case ENC_CONVERT_FAILED:
      return ToUtf8(QCoreApplication::translate("RecordingController", "编码转换失败, 录音已停止!"));
    case ENC_SIZE_LIMIT:
      return ToUtf8(QCoreApplication::translate("RecordingController", "文件已达到 WAV 格式的 4 GB 上限, 录音已停止!"));
    default:
      return ToUtf8(QCoreApplication::translate("RecordingController", "编码器出错 (代码 %1), 录音已停止!")
                        .arg(static_cast<int32_t>(result)));
  }
}

// The tagging layer's name for the type our encoder writes.
EncoderSelection::FileType TypeOfExtension(const std::string& extension) {
  return FileTypes::OfPath("." + extension).value_or(FileTypes::TYPE_WAV);
}

// Whole number rounded half to even, with exactly one decimal: 1023.95 -> "1024.0".
std::string OneDecimal(double value) {
  const auto tenths = static_cast<int64_t>(std::nearbyint(value * 10.0));
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

RecordingController::RecordingController(CaptureEngine& clsRecorder, Encoder& clsEncoder, clsDSP& clsEffects,
                                         RecorderView& view, MessageBoxService& messages)
    : clsRecorder_(clsRecorder), clsEncoder_(clsEncoder), clsEffects_(clsEffects), view_(view), messages_(messages) {}

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
  counter_.Load();
  counter_.ChangeExtension(Q(clsEncoder_.Extension()));
  PrepareNextFile();
  collecting_ = nullptr;
  Publish();
}

void RecordingController::FileTypeChanged() {
  if (clsRecorder_.IsRecording()) return;
  const bool numbered = OutputIsNumbered();
  counter_.ChangeExtension(Q(clsEncoder_.Extension()));
  if (!counter_.PrepareNextFile()) {
    messages_.ShowWarning(kAppCaption, CannotCreateMessage(counter_.NextFileName()));
  }
  if (numbered) view_.OutputFile(ToUtf8(counter_.NextFileName()));
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
  if (clsRecorder_.IsRecording()) Toggle();
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
      named && *named != TypeOfExtension(clsEncoder_.Extension())) {
    return TypeMismatchMessage(view_.OutputFile(), clsEncoder_.Extension());
  }
  const std::optional<RecordingFormat> format = view_.Format();
  if (!format) return BadRateMessage();
  const int32_t rate = format->rate;
  const int16_t channels = format->channels;

  // Room for ten seconds of the chosen format; unknown formats count as the input.
  const int64_t outputBytesPerSecond =
      clsEncoder_.TargetBytesPerSecond() > 0 ? clsEncoder_.TargetBytesPerSecond() : int64_t{rate} * 2 * channels;
  if (!diskGuard_.RoomToStart(view_.OutputFile(), outputBytesPerSecond)) {
    return ToUtf8(tr("磁盘空间不足, 无法开始录音!"));
  }

  lngBytesPerSec_ = format->BytesPerSecond();
  format_ = *format;
  if (std::string why = OpenOutput(rate, channels); !why.empty()) {
    lngBytesPerSec_ = 0;
    return why;
  }
  numberedTake_ = OutputIsNumbered();
  // Never throw: the rate passed RecordingFormat::ParseRate (1000..96000), the channels are 1 or 2.
  clsEffects_.samplerate(rate);
  clsEffects_.Channels(channels);
  lngRecMS_ = 0;
  recordedBytes_ = 0;
  deliveredBytes_ = 0;
  loudness_.Begin(rate, channels);
  partLoudnessRunning_ = false;
  clips_.Begin(channels);
  finalLoudness_ = {};
  finalSeconds_ = 0;

  if (!clsRecorder_.StartRecord(rate, channels)) {
    // Nothing is captured: the file goes back to how it was (a numbered one
    // stays empty for the next try, a new one goes) and the program stays idle.
    clsEncoder_.EncoderDiscard();
    if (OutputIsNumbered()) PrepareNextFile();
    lngBytesPerSec_ = 0;
    return WithCause(ToUtf8(tr("不能启动录音功能!")), clsRecorder_.StartFailure());
  }
  diskGuard_.Begin(view_.OutputFile(), outputBytesPerSecond, lngBytesPerSec_);
  parts_ = {view_.OutputFile()};
  runningTexts_ = texts_;
  BeginPart();
  StartHandsFree(rate, channels);
  take_.Begin(view_.OutputFile(), rate, channels);
  if (monitor_) monitor_->PublishFile(view_.OutputFile());
  // Before the first block arrives: from now on a crash leaves the file to the next start's repair.
  const std::string journalError = RecordingJournal().Begin(view_.OutputFile());
  if (!journalError.empty()) Warn(journalError);
  SaveCounter();
  Publish();  // recording, once all of the start is done
  return {};
}

std::string RecordingController::OpenOutput(int32_t rate, int16_t channels) {
  const EncoderResult result = OutputIsNumbered() ? OpenNumberedFile(rate, channels) : OpenChosenFile(rate, channels);
  if (result == ENC_OK) return {};
  if (result == ENC_CANCELLED) {
    declined_ = true;  // the user chose to keep the file: nothing more to tell the window
    return ToUtf8(tr("录音未能开始"));
  }
  if (result == ENC_TARGET_HOLDS_DATA) return ToUtf8(tr("文件 %1 已有内容, 不会覆盖!").arg(Path(view_.OutputFile())));
  return WithCause(ToUtf8(tr("无法初始化编码器!")), clsEncoder_.InitError());
}

bool RecordingController::OutputIsNumbered() const { return view_.OutputFile() == ToUtf8(counter_.NextFileName()); }

EncoderResult RecordingController::OpenNumberedFile(int32_t rate, int16_t channels) {
  clsEncoder_.OutputRules({.replaceData = false, .followLinks = false});
  for (int tries = 0; tries < kNumberedFileTries; ++tries) {
    const EncoderResult result = clsEncoder_.EncoderInit(rate, channels, view_.OutputFile());
    if (result != ENC_TARGET_HOLDS_DATA) return result;
    // Written to since it was prepared (another program): the next free number.
    counter_.Advance();
    PrepareNextFile();
  }
  return ENC_TARGET_HOLDS_DATA;
}

EncoderResult RecordingController::OpenChosenFile(int32_t rate, int16_t channels) {
  const std::string path = view_.OutputFile();
  // A confirmation holds for one start: afterwards the file holds that recording.
  const bool confirmed = path == confirmedReplacement_;
  confirmedReplacement_.clear();
  clsEncoder_.OutputRules({.replaceData = confirmed, .followLinks = true});
  const EncoderResult result = clsEncoder_.EncoderInit(rate, channels, path);
  if (result != ENC_TARGET_HOLDS_DATA || questions_ == nullptr) return result;
  if (!questions_->AskYesNo(CheckCaption(), ReplaceQuestion(path))) return ENC_CANCELLED;
  clsEncoder_.OutputRules({.replaceData = true, .followLinks = true});
  return clsEncoder_.EncoderInit(rate, channels, path);
}

std::string RecordingController::TypeMismatchMessage(const std::string& path, const std::string& type) {
  return ToUtf8(tr("文件 %1 的扩展名与文件类型 %2 不符!").arg(Path(path), Q(type)));
}

std::string RecordingController::ReplaceQuestion(const std::string& path) {
  return ToUtf8(tr("文件 %1 已存在, 要替换它吗?").arg(Path(path)));
}

void RecordingController::Stop(int64_t upTo) {
  // The rest of the recording arrives through GotData inside StopRecord.
  stopping_ = true;
  Publish();  // finishing: the window leaves the file and its type alone meanwhile
  const bool stopped = upTo == INT64_MAX ? clsRecorder_.StopRecord() : clsRecorder_.StopRecord(upTo);
  const int64_t lost = clsRecorder_.LostInputCount();
  const int64_t lostToQueue = clsRecorder_.LostToQueueCount();
  stopping_ = false;
  paused_ = false;
  finalLoudness_ = loudness_.Final();
  const bool recorded = FinishOutput();
  diskGuard_.End();
  finalSeconds_ = static_cast<double>(recordedBytes_) / lngBytesPerSec_;
  lngRecMS_ = 0;
  lngBytesPerSec_ = 0;
  if (recorded && (numberedTake_ || namedTakesAdvance_)) counter_.Advance();
  PrepareNextFile();
  SaveCounter();
  // Only now is the recorder idle and a start taken: a start asked before (the
  // counter's sync may take long) is refused while the stop finishes.
  Publish();
  // Reported last: the box keeps dispatching events, and the stop is complete by now.
  if (!stopped) messages_.ShowWarning(CheckCaption(), ToUtf8(tr("此时无法停止录音!")));
  ReportLosses(lost, lostToQueue);
  if (!stopFailure_.empty()) {
    const std::string failure = std::move(stopFailure_);
    stopFailure_.clear();
    messages_.ShowWarning(kAppCaption, failure);
  }
  ReportParts();
}

void RecordingController::ReportLosses(int64_t lost, int64_t lostToQueue) {
  // A gap in the file must not go unnoticed, nor what to do about it.
  if (lostToQueue > 0) {
    const QString folder = QFileInfo(Q(parts_.empty() ? view_.OutputFile() : parts_.back())).absolutePath();
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
  if (block) monitor_->PublishBlock(intVisSamples_, LevelSamples(), blockSerial_, deliveredBytes_);
  const int64_t bytes = OutputFileBytes();
  monitor_->PublishTexts(StatusSizeText(bytes), StatusLengthText(), StatusLostText());
  monitor_->PublishFileBytes(bytes);
  const bool measuring = clsRecorder_.IsRecording() || stopping_;
  monitor_->PublishMeters(measuring ? loudness_.Live() : finalLoudness_, {clips_.Clips(0), clips_.Clips(1)});
  monitor_->PublishCounts(lngRecMS_, clsRecorder_.LostInputCount());
  const SoundActivation& sound = clsRecorder_.IsRecording() ? running_.sound : handsFree_.sound;
  const bool armed = clsRecorder_.IsRecording() && sound.enabled;
  monitor_->PublishRunning(clsRecorder_.IsRecording() && !stopping_, paused_, armed && !gate_.InTake(), stopping_,
                           lngBytesPerSec_);
  monitor_->PublishHandsFree(armed && !gate_.InTake(), armed && gate_.InTake() ? gate_.Takes() : 0,
                             sound.enabled ? SoundGate::ThresholdAmplitude(sound.thresholdDbfs) / 32768.0 : 0.0);
}

void RecordingController::PrepareNextFile() {
  if (!counter_.PrepareNextFile()) Warn(CannotCreateMessage(counter_.NextFileName()));
  view_.OutputFile(ToUtf8(counter_.NextFileName()));
}

void RecordingController::SaveCounter() {
  if (QString why; !counter_.Save(&why)) {
    Warn(WithCause(ToUtf8(tr("无法写入设置文件 %1 !").arg(ProgramFolder::SettingsFile())), ToUtf8(why)));
  }
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
  if (paused_ && outputOpen_) clsEncoder_.Checkpoint();
  if (outputOpen_) markers_.Add(paused_ ? ToUtf8(tr("暂停")) : ToUtf8(tr("继续")));
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
  if (clsRecorder_.IsRecording() && outputOpen_ && !paused_) markers_.Add(ToUtf8(tr("输入丢失")));
}

void RecordingController::GotData(std::span<const int16_t> intBuffer, int32_t lngLen) {
  if (deliveredBytes_ >= endAfterBytes_) return;  // the rest its stop delivers
  if (endAfterBytes_ - deliveredBytes_ < lngLen) lngLen = static_cast<int32_t>(endAfterBytes_ - deliveredBytes_);
  deliveredBytes_ += std::max(lngLen, 0);
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

void RecordingController::ProcessBlock(std::span<const int16_t> intBuffer, int32_t lngLen) {
  // Same length as last time (the usual case): copy without allocating.
  if (intVisSamples_.size() == intBuffer.size()) {
    std::copy(intBuffer.begin(), intBuffer.end(), intVisSamples_.begin());
  } else {
    intVisSamples_.assign(intBuffer.begin(), intBuffer.end());
  }
  clsEffects_.ProcessSamples(intVisSamples_);
  ++blockSerial_;
  if (!clsRecorder_.IsRecording() || lngBytesPerSec_ <= 0) return;
  // A failure is ending the recording: what its stop still delivers is not written.
  if (!stopFailure_.empty()) return;

  const auto bytes = std::clamp<int32_t>(lngLen, 0, static_cast<int32_t>(intVisSamples_.size() * sizeof(int16_t)));
  const std::span<const int16_t> recorded(intVisSamples_.data(), static_cast<size_t>(bytes) / sizeof(int16_t));
  if (running_.sound.enabled || samplesPerPart_ > 0) {
    RecordHandsFree(recorded);
  } else {
    EncodeRecorded(intVisSamples_.data(), bytes);
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
  if (!stopFailure_.empty() && !stopping_ && clsRecorder_.IsRecording()) Toggle();
}

void RecordingController::EncodeRecorded(const int16_t* data, int32_t bytes) {
  if (!stopFailure_.empty() || !outputOpen_) return;
  lngRecMS_ = static_cast<int32_t>(
      std::nearbyint(static_cast<double>(bytes) / lngBytesPerSec_ * 1000.0 + lngRecMS_));
  recordedBytes_ += bytes;

  take_.Add(std::span(data, static_cast<size_t>(bytes) / sizeof(int16_t)));
  int32_t buffer_used = 0;
  const EncoderResult result = clsEncoder_.Encode(data, bytes, buffer_used);
  if (result == ENC_SIZE_LIMIT) {
    ContinueInNextPart(data, bytes);
    if (stopFailure_.empty()) MeasureWritten(data, bytes);
  } else if (result != ENC_OK) {
    // Ignoring any of them would drop audio silently for the rest of the recording.
    StopAfterEncoderFailure(EncoderFailureMessage(result));
  } else {
    MeasureWritten(data, bytes);
    markers_.Written(bytes / format_.BlockAlign());
    // Stopped while the flush and the header still fit, not at the full disk.
    if (!diskGuard_.Recorded(bytes)) StopAfterEncoderFailure(ToUtf8(tr("磁盘空间即将用完, 录音已停止!")));
  }
}

void RecordingController::MeasureWritten(const int16_t* data, int32_t bytes) {
  const std::span<const int16_t> written(data, static_cast<size_t>(bytes) / sizeof(int16_t));
  loudness_.Add(written);
  if (partLoudnessRunning_) partLoudness_.Add(written);
  clips_.Add(written, [this](int16_t channel) { return loudness_.BlockTruePeakOverLimit(channel); });
}

void RecordingController::StopAfterEncoderFailure(const std::string& message) {
  // Told once, after the stop; a stop already under way reports it itself.
  stopFailure_ = message;
  if (!stopping_ && !inHandsFreeBlock_) Toggle();
}

void RecordingController::ContinueInNextPart(const int16_t* data, int32_t bytes) {
  sizeLimited_ = true;
  if (!MoveToNextPart(ToUtf8(tr("文件已满, 无法创建下一个文件, 录音已停止!")))) return;
  take_.Add(std::span(data, static_cast<size_t>(bytes) / sizeof(int16_t)));  // the full part refused it
  markers_.Add(ContinuedMarkerName());
  int32_t buffer_used = 0;
  // Into the empty part: refused again only by a limit below one block.
  if (const EncoderResult result = clsEncoder_.Encode(data, bytes, buffer_used); result != ENC_OK) {
    StopAfterEncoderFailure(EncoderFailureMessage(result));
  } else {
    markers_.Written(bytes / format_.BlockAlign());
  }
}

bool RecordingController::MoveToNextPart(const std::string& failure) {
  CloseOutput();
  if (const EncoderResult opened = OpenNextPart(); opened != ENC_OK) {
    const std::string cause = opened == ENC_TARGET_HOLDS_DATA ? "" : clsEncoder_.InitError();
    StopAfterEncoderFailure(WithCause(failure, cause));
    return false;
  }
  outputOpen_ = true;
  samplesInPart_ = 0;
  parts_.push_back(view_.OutputFile());
  if (monitor_) monitor_->PublishFile(view_.OutputFile());
  BeginPart();
  // The first part's loudness is the whole recording's so far; every later part needs a meter of its own.
  if (!LoudnessFromFile()) partLoudnessRunning_ = partLoudness_.Begin(format_.rate, format_.channels);
  // The review row offers the last part: the file its length and markers are of.
  take_.Begin(view_.OutputFile(), format_.rate, format_.channels);
  const std::string journalError = RecordingJournal().Begin(view_.OutputFile());
  if (!journalError.empty()) Warn(journalError);
  return true;
}

void RecordingController::CloseOutput() {
  if (!outputOpen_) return;
  outputOpen_ = false;
  // Finished like a normal recording: its journal entry goes once it is complete.
  clsEncoder_.EncoderClose();
  WriteMetadata();
  RecordingJournal().Finish(view_.OutputFile());
}

void RecordingController::BeginPart() {
  markers_.Begin();
  partStart_ = std::chrono::system_clock::now();
}

void RecordingController::WriteMetadata() {
  // After a write failure the disk has no room for them, and the user hears of that failure already.
  if (!clsEncoder_.WritesTaggableFile() || !stopFailure_.empty()) return;
  TakeMetadata metadata{.title = runningTexts_.title,
                        .start = partStart_,
                        .software = runningTexts_.software,
                        .comment = runningTexts_.comment,
                        .language = InterfaceLanguage::Iso639_2(),
                        .loudness = PartLoudness()};
  for (const TakeMarkers::Marker& marker : markers_.Markers()) metadata.markers.push_back({marker.frame, marker.name});
  const auto written = TakeMetadataWriter::Write(view_.OutputFile(), TypeOfExtension(clsEncoder_.Extension()),
                                                 format_.rate, std::move(metadata));
  // The audio is complete either way; only its markers or tags are missing.
  if (!written.ok()) {
    messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("无法写入文件的标记和标签: %1").arg(Path(view_.OutputFile()))),
                                                 written.reason));
  }
}

bool RecordingController::LoudnessFromFile() const {
  return TypeOfExtension(clsEncoder_.Extension()) == EncoderSelection::TYPE_MP3;
}

std::optional<TakeMetadata::Loudness> RecordingController::PartLoudness() {
  if (!LoudnessFromFile()) return LoudnessTags::Of(partLoudnessRunning_ ? partLoudness_.Final() : loudness_.Final());
  // The encoder's filters change the loudness by a few tenths of a dB; players
  // hear the decoded file. Bounded by what this part wrote.
  const LoudnessTags::Measured measured =
      LoudnessTags::OfFile(view_.OutputFile(), static_cast<double>(markers_.Position()) / format_.rate);
  if (!measured.error.empty()) {
    messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("无法测量文件的响度: %1").arg(Path(view_.OutputFile()))),
                                                 measured.error));
  }
  return measured.loudness;
}

bool RecordingController::AddMarker(int64_t mark, const std::string& name) {
  if (!clsRecorder_.IsRecording() || stopping_) return false;
  if (mark == INT64_MAX) {
    clsRecorder_.DeliverReceived();
  } else {
    clsRecorder_.DeliverReceived(mark);
  }
  return clsRecorder_.IsRecording() && markers_.AddAsked(name);
}

bool RecordingController::FinishOutput() {
  if (running_.sound.enabled && gate_.Takes() == 0) {
    outputOpen_ = false;
    clsEncoder_.EncoderDiscard();
    RecordingJournal().Finish(view_.OutputFile());
    return false;
  }
  CloseOutput();
  return true;
}

void RecordingController::StartHandsFree(int32_t rate, int16_t channels) {
  outputOpen_ = true;
  sizeLimited_ = false;
  running_ = handsFree_;
  const int64_t frames = framesPerPart_ > 0 ? framesPerPart_ : int64_t{running_.splitMinutes} * 60 * rate;
  samplesPerPart_ = std::max<int64_t>(frames, 0) * channels;
  samplesInPart_ = 0;
  if (running_.sound.enabled) gate_.Configure(running_.sound, rate, channels);
}

void RecordingController::RecordSamples(std::span<const int16_t> samples) {
  // The encoders take at most one second per block; a replayed pre-roll is up to 30.
  const auto samplesPerSecond = static_cast<size_t>(lngBytesPerSec_) / sizeof(int16_t);
  while (!samples.empty() && stopFailure_.empty()) {
    if (samplesPerPart_ > 0 && samplesInPart_ >= samplesPerPart_) {
      if (!MoveToNextPart(ToUtf8(tr("无法创建下一个文件, 录音已停止!")))) return;
      markers_.Add(ContinuedMarkerName());
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
  if (!outputOpen_) MoveToNextPart(ToUtf8(tr("无法创建下一个文件, 录音已停止!")));
}

void RecordingController::TakeAudio(std::span<const int16_t> samples) { RecordSamples(samples); }

void RecordingController::TakeEnds() {
  if (running_.sound.afterSilence == SoundActivation::AfterSilence::NewFile) {
    CloseOutput();
  } else {
    // The wait for the next take may last long: the take goes to the disk now.
    clsEncoder_.Checkpoint();
  }
}

EncoderResult RecordingController::OpenNextPart() {
  if (!OutputIsNumbered()) return OpenNumberedSibling();
  counter_.Advance();
  PrepareNextFile();
  SaveCounter();
  return OpenNumberedFile(format_.rate, format_.channels);
}

EncoderResult RecordingController::OpenNumberedSibling() {
  const QFileInfo first(Q(parts_.front()));
  const QString suffix = first.suffix().isEmpty() ? QString() : "." + first.suffix();
  const QString base = first.filePath().chopped(suffix.size());
  // Not named by the user: a link or a file with data there is someone else's.
  clsEncoder_.OutputRules({.replaceData = false, .followLinks = false});
  EncoderResult result = ENC_TARGET_HOLDS_DATA;
  for (int tries = 0; tries < kNumberedFileTries && result == ENC_TARGET_HOLDS_DATA; ++tries) {
    const auto number = static_cast<qsizetype>(parts_.size()) + 1 + tries;
    const std::string path = ToUtf8(base + " (" + QString::number(number) + ")" + suffix);
    result = clsEncoder_.EncoderInit(format_.rate, format_.channels, path);
    if (result == ENC_OK) view_.OutputFile(path);
  }
  return result;
}

void RecordingController::ReportParts() {
  if (sizeLimited_ && parts_.size() > 1) {
    std::string text = ToUtf8(tr("录音超过单个文件的大小上限, 已分别保存在以下文件中:"));
    for (const std::string& part : parts_) text += "\n" + part;
    messages_.ShowWarning(kAppCaption, text);
  }
  parts_.clear();
}

void RecordingController::DeviceLost(const std::string& reason) {
  if (!clsRecorder_.IsRecording()) return;
  Toggle();
  messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("录音设备已断开, 录音已停止!")), reason));
}

std::string RecordingController::StatusSizeText() const { return StatusSizeText(OutputFileBytes()); }

std::string RecordingController::StatusSizeText(int64_t bytes) const {
  if (!clsRecorder_.IsRecording()) return ToUtf8(tr("文件大小: %1").arg("0 Bytes"));
  return ToUtf8(tr("文件大小: %1").arg(Q(FormatSize(static_cast<double>(bytes)))));
}

int64_t RecordingController::OutputFileBytes() const {
  if (!clsRecorder_.IsRecording()) return -1;
  const QFileInfo info(QString::fromStdString(view_.OutputFile()));
  return info.exists() ? info.size() : -1;
}

std::string RecordingController::StatusLengthText() const {
  if (!clsRecorder_.IsRecording()) return ToUtf8(tr("长度: %1").arg("0:00"));
  const QString length = Q(FormatLength(lngRecMS_));
  return ToUtf8(paused_ ? tr("长度: %1 (已暂停)").arg(length) : tr("长度: %1").arg(length));
}

std::string RecordingController::StatusLostText() const {
  const int64_t lost = clsRecorder_.IsRecording() ? clsRecorder_.LostInputCount() : 0;
  return ToUtf8(tr("输入丢失: %1").arg(lost));
}

std::string RecordingController::FormatSize(double S) {
  if (S < 0) return {};
  if (S <= 1023) return std::to_string(static_cast<int64_t>(S)) + " bytes";
  if (S <= 1048575) return std::to_string(static_cast<int64_t>(std::nearbyint(S / 1024))) + " KB";
  if (S <= 1073741823) return OneDecimal(S / 1048576) + " MB";
  return OneDecimal(S / 1073741824) + " GB";
}

std::string RecordingController::FormatLength(int32_t ms) {
  const auto s = static_cast<int64_t>(std::nearbyint(ms / 1000.0));
  const int64_t r = s % 60;
  return std::to_string(s / 60) + ":" + (r < 10 && r > -10 ? "0" : "") + std::to_string(r);
}

std::string RecordingController::ContinuedMarkerName() { return ToUtf8(tr("续接上一个文件")); }

std::string RecordingController::CheckCaption() { return ToUtf8(tr("提示")); }
std::string RecordingController::NoDeviceMessage() { return ToUtf8(tr("没有选择硬件设备!")); }
std::string RecordingController::BadRateMessage() { return ToUtf8(tr("取样率无效! 请输入 1000 到 96000 之间的数字.")); }
std::string RecordingController::StartCaption() { return ToUtf8(tr("开始录音")); }
std::string RecordingController::StopCaption() { return ToUtf8(tr("停止录音")); }
std::string RecordingController::PauseCaption() { return ToUtf8(tr("暂停")); }
std::string RecordingController::ResumeCaption() { return ToUtf8(tr("继续")); }

std::string RecordingController::CannotCreateMessage(const QString& file) {
  return ToUtf8(tr("无法创建输出文件 %1 !").arg(file));
}
