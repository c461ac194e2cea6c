#include "app/control/TerminalRecorder.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "app/recording/DeviceNames.h"
#include "app/handsfree/HandsFreeSettings.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/SecondInputFinder.h"
#include "app/recording/StatusTexts.h"
#include "app/recording/WindowThreadDialogs.h"
#include "capture/WaveInRecorder.h"
#include "common/AppError.h"
#include "common/FileTypes.h"
#include "encoding/EncoderSelection.h"


TerminalRecorder::TerminalRecorder(Options options)
    : options_(std::move(options)),
      hookDialogs_(std::make_unique<WindowThreadDialogs>(messages_, nullptr, context_)),
      recorder_(std::make_unique<WaveInRecorder>(hookDialogs_.get())),
      encoder_(std::make_unique<EncoderSelection>()),
      engine_(std::make_unique<RecordingEngine>(*recorder_, *encoder_, effects_, messages_, &messages_)),
      secondInputs_(std::make_unique<SecondInputFinder>(*recorder_, [] { return SecondInputSettings{}; })) {
  progress_.setInterval(kProgressInterval);
  progress_.callOnTimeout([this] { ShowProgress(); });
  // Nobody watches the input live: fewer, larger deliveries from the server
  // and no block kept for pictures.
  engine_->WatchSamples(false);
}

TerminalRecorder::~TerminalRecorder() = default;

RecorderControl& TerminalRecorder::Control() { return *engine_; }

int TerminalRecorder::Run() {
  engine_->Controller().NamedTakesAdvanceCounter(false);  // before the recording thread's first request
  // The journal's repairs, the counter, the next numbered file.
  for (const std::string& warning : engine_->StartUp()) messages_.ShowWarning(RecordingController::kAppCaption, warning);
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
    // A take that ended before a progress tick saw it running is named here.
    if (written_.empty()) AnnounceFile(engine_->Controller().Take().Path());
    PrintLine(Summary());
  }
  return messages_.Count() > warningsBefore ? 1 : 0;
}

void TerminalRecorder::Finish() {
  if (finishing_) return;
  finishing_ = true;
  engine_->Stop();  // refused when nothing runs (before the start, or already finishing)
}

std::optional<QString> TerminalRecorder::Begin() {
  if (auto why = ChooseHandsFree()) return why;
  // Ctrl+C during the start-up (its syncs may take long on a slow disk): nothing is started.
  if (finishing_) return tr("录音开始之前已被中断");
  // The device by its name alone: the terminal has no chosen one; the type WAV unless the file or --type says.
  if (options_.device.empty() || !DeviceNames::IndexOf(*recorder_, options_.device)) {
    return UnknownDevice(options_.device);
  }
  const SecondInputFinder::Found second = secondInputs_->Find(options_.secondDevice, options_.tracks);
  if (!second.ok) return UnknownDevice(options_.secondDevice);  // the command line checked the tracks' word
  RecordingRequest request{.device = options_.device,
                           .type = options_.type.empty() && !FileTypes::OfPath(options_.file) ? "wav"
                                                                                                      : options_.type,
                           .file = options_.file,
                           .duration = options_.duration,
                           .second = second.settings};
  const RecorderControl::Result started = engine_->Start(request);
  for (const std::string& warning : started.warnings) messages_.ShowWarning(RecordingController::kAppCaption, warning);
  if (!started.ok) return QString::fromStdString(started.reason);
  return std::nullopt;
}

QString TerminalRecorder::UnknownDevice(const std::string& name) {
  const QString refusal = tr("找不到设备 \"%1\"").arg(QString::fromStdString(name));
  const QStringList names = DeviceNames::Listed(*recorder_);
  if (names.isEmpty()) return refusal + "\n" + tr("没有可用的录音设备");
  return refusal + "\n" + tr("可用的设备 (--device 取名称或描述):") + "\n  " + names.join("\n  ");
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
  const RecordingMonitor::Snapshot shown = engine_->Observe();
  if (shown.state == RecorderState::Idle) {
    QCoreApplication::exit(0);
    return;
  }
  if (shown.state == RecorderState::Recording || shown.state == RecorderState::Paused) AnnounceFile(shown.file);
  if (shown.state == RecorderState::Finishing) {
    PrintProgress(tr("正在完成文件, 还有 %1 秒的录音待写入…").arg(std::ceil(shown.secondsToWrite)));
    return;
  }
  PrintProgress(tr("%1  %2  电平 %3 dB")
                    .arg(QString::fromStdString(StatusTexts::LengthWithHandsFree(shown)),
                         QString::fromStdString(StatusTexts::Size(shown)))
                    .arg(shown.LevelDbfs(), 0, 'f', 1));
}

void TerminalRecorder::PrintProgress(const QString& line) {
  if (!progressOutput_) return;
  // Padded, so a shorter line covers the longer one before it.
  std::printf("\r%-60s", qPrintable(line));
  // A reader that went away (`| head`): the progress stops, the recording goes on.
  if (std::fflush(stdout) != 0) progressOutput_ = false;
}

void TerminalRecorder::AnnounceFile(const std::string& file) {
  // Only a running recording's file is the one written.
  if (file.empty() || (!written_.empty() && written_.back() == file)) return;
  written_.push_back(file);
  if (progressOutput_) PrintLine(tr("录音文件: %1").arg(QString::fromStdString(file)));
}

QString TerminalRecorder::Summary() {
  const RecordingController& finished = engine_->Controller();  // idle now
  int64_t bytes = 0;
  for (const std::string& file : written_) bytes += QFileInfo(QString::fromStdString(file)).size();
  const double integrated = finished.FinalLoudness().integrated;
  return tr("长度 %1 秒, 大小 %2, 输入丢失 %3, 综合响度 %4 LUFS")
      .arg(finished.FinalSeconds(), 0, 'f', 3)
      .arg(QString::fromStdString(StatusTexts::FormatSize(static_cast<double>(bytes))))
      .arg(recorder_->LostInputCount())
      .arg(std::isfinite(integrated) ? QString::number(integrated, 'f', 1) : QStringLiteral("-inf"));
}

void TerminalRecorder::PrintLine(const QString& line) {
  // Over the progress line, which goes on below it.
  std::printf("\r%-60s\n", qPrintable(line));
  if (std::fflush(stdout) != 0) progressOutput_ = false;
}

void TerminalRecorder::Fail(const QString& reason) { std::fprintf(stderr, "tamblin: %s\n", qPrintable(reason)); }
