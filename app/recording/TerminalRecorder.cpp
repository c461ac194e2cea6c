#include "app/recording/TerminalRecorder.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "app/recording/HandsFreeSettings.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/WindowThreadDialogs.h"
#include "capture/WaveInRecorder.h"
#include "common/AppError.h"
#include "encoding/EncoderSelection.h"


TerminalRecorder::TerminalRecorder(Options options)
    : options_(std::move(options)),
      hookDialogs_(std::make_unique<WindowThreadDialogs>(messages_, nullptr, context_)),
      recorder_(std::make_unique<WaveInRecorder>(hookDialogs_.get())),
      encoder_(std::make_unique<EncoderSelection>()),
      engine_(std::make_unique<RecordingEngine>(*recorder_, *encoder_, effects_, messages_, &messages_)) {
  progress_.setInterval(kProgressInterval);
  progress_.callOnTimeout([this] { ShowProgress(); });
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
    std::fflush(stdout);
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
  if (options_.device.empty()) return tr("找不到设备 \"%1\"").arg(QString());
  RecordingRequest request{.device = options_.device,
                           .type = options_.type.empty() && !EncoderSelection::TypeOfFile(options_.file) ? "wav"
                                                                                                      : options_.type,
                           .file = options_.file,
                           .duration = options_.duration};
  const RecorderControl::Result started = engine_->Start(request);
  for (const std::string& warning : started.warnings) messages_.ShowWarning(RecordingController::kAppCaption, warning);
  if (!started.ok) return QString::fromStdString(started.reason);
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
  const RecordingMonitor::Snapshot shown = engine_->Observe();
  if (shown.state == RecorderState::Idle) {
    QCoreApplication::exit(0);
    return;
  }
  if (shown.state == RecorderState::Finishing) {
    PrintProgress(tr("正在完成文件, 还有 %1 秒的录音待写入…").arg(std::ceil(shown.secondsToWrite)));
    return;
  }
  PrintProgress(tr("%1  %2  电平 %3 dB")
                    .arg(QString::fromStdString(shown.LengthWithHandsFree()), QString::fromStdString(shown.sizeText))
                    .arg(shown.LevelDbfs(), 0, 'f', 1));
}

void TerminalRecorder::PrintProgress(const QString& line) {
  if (!progressOutput_) return;
  // Padded, so a shorter line covers the longer one before it.
  std::printf("\r%-60s", qPrintable(line));
  // A reader that went away (`| head`): the progress stops, the recording goes on.
  if (std::fflush(stdout) != 0) progressOutput_ = false;
}

void TerminalRecorder::Fail(const QString& reason) { std::fprintf(stderr, "tamblin: %s\n", qPrintable(reason)); }
