#include "app/recording/TerminalRecorder.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "app/platform/RemoteRequest.h"
#include "app/recording/DeviceNames.h"
#include "app/recording/HandsFreeSettings.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/RecordingFormat.h"
#include "app/recording/WindowThreadDialogs.h"
#include "capture/WaveInRecorder.h"
#include "common/AppError.h"
#include "encoding/EncoderSelection.h"

namespace {

constexpr auto kTypeNames = RemoteRequest::kTypeNames;
static_assert(kTypeNames.size() == EncoderSelection::kTypeCount);

// The block's loudest sample in dB below full scale; -99 for silence.
double PeakDbfs(const std::vector<int16_t>& block) {
  int32_t peak = 0;
  for (const int16_t sample : block) peak = std::max(peak, std::abs(static_cast<int32_t>(sample)));
  return peak == 0 ? -99.0 : 20.0 * std::log10(peak / 32768.0);
}

}  // namespace

TerminalRecorder::TerminalRecorder(Options options)
    : options_(std::move(options)),
      hookDialogs_(std::make_unique<WindowThreadDialogs>(messages_, nullptr, context_)),
      recorder_(std::make_unique<WaveInRecorder>(hookDialogs_.get())),
      encoder_(std::make_unique<EncoderSelection>()),
      engine_(
          std::make_unique<RecordingEngine>(*recorder_, *encoder_, effects_, *this, context_, messages_, &messages_)) {
  progress_.setInterval(kProgressInterval);
  progress_.callOnTimeout([this] { ShowProgress(); });
}

TerminalRecorder::~TerminalRecorder() = default;

int TerminalRecorder::Run() {
  engine_->StartUp();  // the journal's repairs, the counter, the next numbered file
  if (const auto why = Begin()) {
    Fail(*why);
    return 1;
  }
  const int warningsBefore = messages_.Count();
  progress_.start();
  QCoreApplication::exec();
  QCoreApplication::sendPostedEvents();  // the stop's warnings, queued by the recording thread
  progress_.stop();
  if (progressOutput_) {
    std::printf("\n");
    PrintLine(Summary());
  }
  return messages_.Count() > warningsBefore ? 1 : 0;
}

void TerminalRecorder::Finish() {
  if (finishing_) return;
  finishing_ = true;
  const RecorderState state = engine_->State();
  if (state != RecorderState::Idle && state != RecorderState::Finishing) engine_->ToggleRecording();
}

std::optional<QString> TerminalRecorder::Begin() {
  if (auto why = ChooseDevice()) return why;
  if (auto why = ChooseType()) return why;
  if (auto why = ChooseHandsFree()) return why;
  if (!options_.file.empty()) {
    outputFile_ = QFileInfo(QString::fromStdString(options_.file)).absoluteFilePath().toStdString();
    engine_->OutputFileChosen(outputFile_);
  }
  // Ctrl+C during the start-up (its syncs may take long on a slow disk): nothing is started.
  if (finishing_) return tr("录音开始之前已被中断");
  std::optional<RecordingEngine::Length> length;
  if (options_.duration) {
    const auto format = RecordingFormat::FromChoices(RateText(), Stereo());
    length = RecordingEngine::Length{format->BytesIn(*options_.duration), *options_.duration};
  }
  if (!engine_->StartAndWait(length)) return tr("录音未能开始");
  return std::nullopt;
}

std::optional<QString> TerminalRecorder::ChooseDevice() {
  const int32_t count = recorder_->DeviceCount();
  for (int32_t index = 0; index < count; ++index) {
    if (recorder_->DeviceName(index) != options_.device && recorder_->DeviceSourceName(index) != options_.device) {
      continue;
    }
    if (!recorder_->SelectDevice(index)) break;
    deviceChosen_ = true;
    return std::nullopt;
  }
  return UnknownDevice();
}

QString TerminalRecorder::UnknownDevice() {
  const QString refusal = tr("找不到设备 \"%1\"").arg(QString::fromStdString(options_.device));
  const QStringList names = DeviceNames::Listed(*recorder_);
  if (names.isEmpty()) return refusal + "\n" + tr("没有可用的录音设备");
  return refusal + "\n" + tr("可用的设备 (--device 取名称或描述):") + "\n  " + names.join("\n  ");
}

std::optional<QString> TerminalRecorder::ChooseType() {
  const std::string& asked = options_.type;
  const auto found = std::find(kTypeNames.begin(), kTypeNames.end(), asked);
  if (!asked.empty() && found == kTypeNames.end()) return tr("未知的文件类型 \"%1\"").arg(QString::fromStdString(asked));
  const auto askedType = asked.empty() ? std::nullopt
                                       : std::optional(static_cast<EncoderSelection::FileType>(found - kTypeNames.begin()));
  // A known extension decides; a --type that differs from it is refused.
  const auto named = EncoderSelection::TypeOfFile(options_.file);
  if (named && askedType && *named != *askedType) {
    return QString::fromStdString(RecordingController::TypeMismatchMessage(options_.file, asked));
  }
  try {
    encoder_->Type(named.value_or(askedType.value_or(EncoderSelection::TYPE_WAV)));
  } catch (const AppError& error) {
    return QString::fromStdString(error.description());
  }
  engine_->FileTypeChanged();  // the numbered file takes the type's extension
  return std::nullopt;
}

std::optional<QString> TerminalRecorder::ChooseHandsFree() {
  const CommandLine::HandsFreeOptions& given = options_.handsFree;
  HandsFreeSettings settings;
  SoundActivation& sound = settings.sound;
  sound.enabled = given.soundActivated;
  struct Setting {
    const char* option;
    std::optional<double> value;
    double lowest, highest;
    double* into;
  };
  const Setting settable[] = {
      {"threshold", given.thresholdDbfs, SoundActivation::kLowestThresholdDbfs, SoundActivation::kHighestThresholdDbfs,
       &sound.thresholdDbfs},
      {"pre-roll", given.preRollSeconds, 0.0, SoundActivation::kLongestPreRollSeconds, &sound.preRollSeconds},
      {"hang", given.hangSeconds, SoundActivation::kShortestHangSeconds, SoundActivation::kLongestHangSeconds,
       &sound.hangSeconds},
  };
  for (const Setting& each : settable) {
    if (!each.value) continue;
    if (*each.value < each.lowest || *each.value > each.highest) return OutOfRange(each.option, each.lowest, each.highest);
    *each.into = *each.value;
  }
  if (given.newFileAfterSilence.value_or(false)) sound.afterSilence = SoundActivation::AfterSilence::NewFile;
  if (given.splitMinutes) {
    if (*given.splitMinutes < 1 || *given.splitMinutes > HandsFreeSettings::kLongestSplitMinutes) {
      return OutOfRange("split", 1, HandsFreeSettings::kLongestSplitMinutes);
    }
    settings.splitMinutes = *given.splitMinutes;
  }
  engine_->HandsFreeChanged(settings);
  return std::nullopt;
}

QString TerminalRecorder::OutOfRange(const char* option, double lowest, double highest) {
  return tr("--%1 必须在 %2 到 %3 之间").arg(QString::fromLatin1(option)).arg(lowest).arg(highest);
}

void TerminalRecorder::ShowProgress() {
  engine_->StopIfEnded();
  const RecordingMonitor::Snapshot shown = engine_->Observe();
  if (shown.state == RecorderState::Idle) {
    QCoreApplication::exit(0);
    return;
  }
  if (shown.state == RecorderState::Recording || shown.state == RecorderState::Paused) AnnounceFile();
  if (shown.state == RecorderState::Finishing) {
    PrintProgress(tr("正在完成文件, 还有 %1 秒的录音待写入…").arg(std::ceil(shown.secondsToWrite)));
    return;
  }
  PrintProgress(tr("%1  %2  电平 %3 dB")
                    .arg(QString::fromStdString(shown.LengthWithHandsFree()), QString::fromStdString(shown.sizeText))
                    .arg(PeakDbfs(shown.levelBlock), 0, 'f', 1));
}

void TerminalRecorder::PrintProgress(const QString& line) {
  if (!progressOutput_) return;
  // Padded, so a shorter line covers the longer one before it.
  std::printf("\r%-60s", qPrintable(line));
  // A reader that went away (`| head`): the progress stops, the recording goes on.
  if (std::fflush(stdout) != 0) progressOutput_ = false;
}

void TerminalRecorder::AnnounceFile() {
  // Only a running recording's file is the one written: the next numbered one
  // is shown from the stop on.
  if (!written_.empty() && written_.back() == outputFile_) return;
  written_.push_back(outputFile_);
  if (progressOutput_) PrintLine(tr("录音文件: %1").arg(QString::fromStdString(outputFile_)));
}

QString TerminalRecorder::Summary() {
  const RecordingController& finished = engine_->Controller();  // idle now
  if (written_.empty()) written_.push_back(finished.Take().Path());  // stopped before a progress tick
  int64_t bytes = 0;
  for (const std::string& file : written_) bytes += QFileInfo(QString::fromStdString(file)).size();
  const double integrated = finished.FinalLoudness().integrated;
  return tr("长度 %1 秒, 大小 %2, 输入丢失 %3, 综合响度 %4 LUFS")
      .arg(finished.FinalSeconds(), 0, 'f', 3)
      .arg(QString::fromStdString(RecordingController::FormatSize(static_cast<double>(bytes))))
      .arg(recorder_->LostInputCount())
      .arg(std::isfinite(integrated) ? QString::number(integrated, 'f', 1) : QStringLiteral("-inf"));
}

void TerminalRecorder::PrintLine(const QString& line) {
  // Over the progress line, which goes on below it.
  std::printf("\r%-60s\n", qPrintable(line));
  if (std::fflush(stdout) != 0) progressOutput_ = false;
}

void TerminalRecorder::Fail(const QString& reason) { std::fprintf(stderr, "tamblin: %s\n", qPrintable(reason)); }
