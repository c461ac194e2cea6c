#include "app/recording/RecordingEngine.h"

#include "app/recording/DeviceNames.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <array>
#include <climits>
#include <stdexcept>

#include "app/platform/PlainText.h"
#include "app/recording/RecorderViewRelay.h"
#include "app/recording/RecordingController.h"
#include "app/recording/PulseSecondInput.h"
#include "app/recording/RecordingThread.h"
#include "app/recording/WaveInCapture.h"
#include "app/recording/WindowThreadDialogs.h"
#include "capture/WaveInRecorder.h"
#include "common/AppError.h"
#include "common/FileTypes.h"
#include "encoding/EncoderSelection.h"
#include "metering/BlockPeak.h"
#include "mixing/MakeEchoCanceller.h"

namespace {

constexpr std::chrono::milliseconds kEndCheck{50};  // how often a start's Length is looked at

RecorderControl::Result Done() { return {true, {}}; }
RecorderControl::Result Refused(const QString& reason) { return {false, reason.toStdString()}; }
RecorderControl::Result Finishing() { return Refused(QCoreApplication::translate("RecordingEngine", "上一个录音的文件还在完成中")); }
std::string NotStarted() { return QCoreApplication::translate("RecordingEngine", "录音未能开始").toStdString(); }

}  // namespace

RecordingEngine::RecordingEngine(WaveInRecorder& recorder, EncoderSelection& encoder, const clsDSP& effects,
                                 MessageBoxService& messages, QuestionService* questions)
    : recorder_(recorder),
      encoder_(encoder),
      effectsModel_(effects),
      home_(std::make_unique<QObject>()),
      view_(std::make_unique<RecorderViewRelay>()),
      dialogs_(std::make_unique<WindowThreadDialogs>(messages, questions, *home_)),
      capture_(std::make_unique<WaveInCapture>(recorder)),
      controller_(std::make_unique<RecordingController>(*capture_, encoder, effects_, *view_, *dialogs_)),
      thread_(std::make_unique<RecordingThread>()) {
  controller_->Questions(dialogs_.get());
  controller_->Monitor(&monitor_);
  view_->OutputFileShown = [this](const std::string& path) {
    if (OutputFileShown) OutputFileShown(path);
  };
  // A change made on the recording thread is heard on this one, once per turn of its loop.
  monitor_.OnChange([this, home = home_.get()] {
    QMetaObject::invokeMethod(home, [this] { HeardStateChange(); }, Qt::QueuedConnection);
  });
  endCheck_ = new QTimer(home_.get());
  endCheck_->setInterval(kEndCheck);
  QObject::connect(endCheck_, &QTimer::timeout, [this] { StopIfEnded(); });
  recorder_.Sink(controller_.get());
  controller_->SecondInputMakers(
      [this] { return PulseSecondInput::Create(recorder_, recorder_.FragmentsPerSecond()); },
      [](int32_t rate, int16_t channels) -> std::unique_ptr<EchoCanceller> {
        // A rate the canceller cannot take records the microphone as it is.
        try {
          return MakeEchoCanceller(rate, channels);
        } catch (const std::invalid_argument&) {
          return nullptr;
        }
      });
  // Apply only throws for a band count outside 1..10, and every Settings() handed to it here
  // comes from a chain that holds that count itself; nothing else the posted work runs throws
  // AppError, so none can escape a posted function.
  effects_.Apply(effectsModel_.Settings());
}

RecordingEngine::~RecordingEngine() {
  Shutdown();
  thread_.reset();
  recorder_.Sink(nullptr);
  monitor_.OnChange(nullptr);
}

std::vector<std::string> RecordingEngine::StartUp() {
  std::vector<std::string> warnings;
  thread_->Run([this, &warnings] { controller_->StartUp(&warnings); });
  return warnings;
}

// ---------------------------------------------------------------- verbs

RecorderControl::Result RecordingEngine::Start(const RecordingRequest& request) {
  if (!monitor_.StartRequested()) {
    return State() == RecorderState::Finishing ? Finishing() : Refused(QCoreApplication::translate("RecordingEngine", "录音已在进行中"));
  }
  return RunStart(request);
}

RecorderControl::Result RecordingEngine::RunStart(const RecordingRequest& request) {
  const int64_t press = recorder_.MarkReceived();  // where a start over the monitor begins
  bool deviceChanged = false;
  if (const auto why = ApplyChoices(request, deviceChanged)) {
    monitor_.StartHandled();
    return {false, *why};
  }
  const auto format = request.format ? request.format : view_->Format();
  endAfter_.reset();
  if (request.duration && format) {
    endAfter_ = End{format->BytesIn(*request.duration),
                    std::chrono::steady_clock::now() + *request.duration + InputStopMargin(*request.duration)};
  }
  markersAsked_ = 0;
  device_ = recorder_.SelectedDevice() >= 0 ? recorder_.DeviceName(recorder_.SelectedDevice()) : std::string();
  type_ = FileTypes::Of(encoder_.Type()).name;
  RecordingController::StartResult result;
  int64_t takeStart = 0;
  const double preRecordSeconds = request.preRecordSeconds.value_or(preRecordSeconds_);
  // The limit goes with the start: a first block larger than it is cut too.
  thread_->Run([this, &result, &request, &takeStart, settings = effectsModel_.Settings(), press, deviceChanged,
                preRecordSeconds, endAfterBytes = endAfter_ ? endAfter_->bytes : INT64_MAX] {
    // Another device's input has none of this one's history: the take begins at its reopening.
    if (deviceChanged) {
      controller_->ReopenMonitor(true);
    } else {
      controller_->StartFrom(press, preRecordSeconds);
    }
    effects_.Apply(settings);
    // A door's second input holds for this take; the window's choice for the next.
    controller_->SecondInput(request.second.value_or(second_));
    const TakeTexts next = controller_->Texts();
    if (request.tags) controller_->Texts(*request.tags);
    result = controller_->TryStart(endAfterBytes);
    takeStart = controller_->TakeStartPosition();
    controller_->Texts(next);
    monitor_.StartHandled();
  });
  if (!result.started) {
    endAfter_.reset();
    // The user's own "no" to replacing a file needs no telling at the window; other doors hear a reason.
    if (result.declined) return {false, {}};
    return {false, result.refusal.empty() ? NotStarted() : result.refusal};
  }
  if (endAfter_) {
    endAfter_->bytes += takeStart;  // counted from the press over an open monitor
    endCheck_->start();
  }
  return {true, {}, std::move(result.warnings)};
}

std::optional<std::string> RecordingEngine::ApplyChoices(const RecordingRequest& request, bool& deviceChanged) {
  bool changed = false;
  if (!request.device.empty() || request.line) {
    const int32_t was = recorder_.SelectedDevice();
    if (auto why = ChooseDevice(request.device, request.line)) return why;
    deviceChanged = recorder_.SelectedDevice() != was;
    changed = true;
  }
  if (request.format) {
    view_->Format(request.format);
    changed = true;
  }
  if (!request.file.empty()) {
    const std::string path = QFileInfo(QString::fromStdString(request.file)).absoluteFilePath().toStdString();
    view_->OutputFileChosen(path);
    changed = true;
  }
  // After the file: a named file's extension decides the type, and a type that differs is refused.
  const auto named = FileTypes::OfPath(request.file);
  const std::string type = !request.type.empty() || !named ? request.type : std::string(FileTypes::Of(*named).name);
  if (!type.empty()) {
    if (auto why = ChooseType(type, !request.file.empty())) return why;
    changed = true;
  }
  if (changed && ChoicesChanged) ChoicesChanged();
  return std::nullopt;
}

std::optional<std::string> RecordingEngine::ChooseDevice(const std::string& device, std::optional<int32_t> line) {
  if (!device.empty()) {
    const std::optional<int32_t> found = DeviceNames::IndexOf(recorder_, device);
    // One line, as every answer: the names that would work after the refusal.
    if (!found) {
      return QCoreApplication::translate("RecordingEngine", "找不到设备 \"%1\", 可用: %2")
          .arg(QString::fromStdString(device), DeviceNames::Listed(recorder_).join("; "))
          .toStdString();
    }
    if (!recorder_.SelectDevice(*found)) {
      view_->DeviceChosen(false);
      return QCoreApplication::translate("RecordingEngine", "无法选择设备 \"%1\"").arg(QString::fromStdString(device)).toStdString();
    }
    view_->DeviceChosen(true);
  }
  if (line && !recorder_.SelectMixerLine(*line)) {
    return QCoreApplication::translate("RecordingEngine", "无法选择线路 %1").arg(*line).toStdString();
  }
  return std::nullopt;
}

std::optional<std::string> RecordingEngine::ChooseType(const std::string& type, bool fileNamed) {
  const std::optional<FileTypes::FileType> found = FileTypes::Named(type);
  if (!found) {
    return QCoreApplication::translate("RecordingEngine", "未知的文件类型 \"%1\", 可用: %2")
        .arg(QString::fromStdString(type), QString::fromStdString(FileTypes::Names(", ")))
        .toStdString();
  }
  const FileTypes::FileType asked = *found;
  // A file named in the request keeps its name: a type that differs from its extension is refused.
  const std::string file = view_->OutputFile();
  if (const auto named = FileTypes::OfPath(file); fileNamed && named && *named != asked) {
    return RecordingController::TypeMismatchMessage(file, type);
  }
  if (asked == encoder_.Type()) return std::nullopt;
  const QString oldSuffix = "." + QString::fromStdString(encoder_.Extension());
  try {
    encoder_.Type(asked);
  } catch (const AppError& error) {
    return error.description();
  }
  const bool numbered = QString::fromStdString(file) == controller_->Counter().NextFileName();
  FileTypeChanged();  // the numbered file takes the type's extension
  // A file the user named keeps its name, with the new type's extension for the old one (as in the window).
  if (!numbered && !fileNamed && QString::fromStdString(file).endsWith(oldSuffix, Qt::CaseInsensitive)) {
    const QString renamed = QString::fromStdString(file).chopped(oldSuffix.size()) + "." +
                            QString::fromStdString(encoder_.Extension());
    view_->OutputFileChosen(renamed.toStdString());
  }
  return std::nullopt;
}

RecorderControl::Result RecordingEngine::Stop() {
  const int64_t mark = recorder_.MarkReceived();
  const RecorderState was = monitor_.StopRequested(mark);
  if (was == RecorderState::Finishing) return Finishing();
  if (was != RecorderState::Starting && !TakeRuns(was)) return Refused(QCoreApplication::translate("RecordingEngine", "没有可停止的录音"));
  // Not started yet: whatever it captures before the stop is kept.
  StopUpTo(was == RecorderState::Starting ? INT64_MAX : mark);
  return Done();
}

RecorderControl::Result RecordingEngine::Toggle() {
  if (cancelScheduledStart_ && cancelScheduledStart_()) return Done();
  const int64_t mark = recorder_.MarkReceived();
  const RecorderState was = monitor_.ToggleRequested(mark);
  switch (was) {
    case RecorderState::Idle:
    case RecorderState::Monitoring: return RunStart({});
    case RecorderState::Finishing: return Finishing();
    case RecorderState::Starting: StopUpTo(INT64_MAX); return Done();
    default: StopUpTo(mark); return Done();
  }
}

RecorderControl::Result RecordingEngine::Pause() {
  if (State() == RecorderState::Paused) return Refused(QCoreApplication::translate("RecordingEngine", "录音已暂停"));
  if (!TakeRuns(State())) return Refused(QCoreApplication::translate("RecordingEngine", "没有可暂停的录音"));
  return SetPaused(true);
}

RecorderControl::Result RecordingEngine::Resume() {
  const RecorderState state = State();
  if (state == RecorderState::Recording || state == RecorderState::WaitingForSound) return Refused(QCoreApplication::translate("RecordingEngine", "录音没有暂停"));
  if (state != RecorderState::Paused) return Refused(QCoreApplication::translate("RecordingEngine", "没有可继续的录音"));
  return SetPaused(false);
}

RecorderControl::Result RecordingEngine::SetPaused(bool pause) {
  // Returns once the recording thread made the cut, so a status asked next shows it.
  const int64_t mark = recorder_.MarkReceived();
  thread_->Run([this, pause, mark] { controller_->Pause(pause, mark); });
  return Done();
}

RecorderControl::Result RecordingEngine::Mark(const std::string& name) {
  if (!TakeRuns(State())) return Refused(QCoreApplication::translate("RecordingEngine", "没有正在进行的录音"));
  // Counted here rather than in the file's markers, so the answer is known at once; a take
  // split into parts counts them all, so no part holds more of the user's.
  if (markersAsked_ >= TakeMarkers::kAskedLimit) {
    return Refused(QCoreApplication::translate("RecordingEngine", "这次录音的标记已达上限 (%1 个), 没有再加").arg(TakeMarkers::kAskedLimit));
  }
  ++markersAsked_;
  thread_->Post([this, mark = recorder_.MarkReceived(), name = PlainText::OneLine(name)] {
    controller_->AddMarker(mark, name);
  });
  return Done();
}

RecorderControl::Status RecordingEngine::CurrentStatus() const {
  const RecordingMonitor::Snapshot shown = monitor_.Read();
  const bool running = TakeRuns(shown.state);
  Status status{.state = shown.state,
                .lengthMs = shown.takeLengthMs,
                .file = shown.file.empty() ? view_->OutputFile() : shown.file,
                .inputLost = shown.lostCount,
                .fileBytes = running ? shown.fileBytes : -1,
                .device = device_,
                .type = type_,
                .levelDbfs = running || shown.state == RecorderState::Monitoring ? shown.LevelDbfs() : BlockPeak::kSilenceDbfs,
                .scheduledStartIn = AtRest(shown.state) && scheduledStartWait_ ? scheduledStartWait_() : std::nullopt};
  if (!running && shown.state != RecorderState::Finishing) {
    status.device = recorder_.SelectedDevice() >= 0 ? recorder_.DeviceName(recorder_.SelectedDevice()) : "";
    status.type = FileTypes::Of(encoder_.Type()).name;
  }
  return status;
}

void RecordingEngine::OnStateChanged(StateListener listener) { listeners_.push_back(std::move(listener)); }

void RecordingEngine::HeardStateChange() {
  const RecorderState state = State();
  if (state == heard_) return;
  heard_ = state;
  if (!TakeRuns(state)) endCheck_->stop();
  for (const StateListener& listener : listeners_) listener(state);
}

// ---------------------------------------------------------------- ends

std::chrono::milliseconds RecordingEngine::InputStopMargin(std::chrono::milliseconds duration) {
  return std::chrono::seconds(5) + duration / 100;
}

bool RecordingEngine::EndAfterMore(std::chrono::milliseconds duration) {
  const auto format = view_->Format();
  if (!format || !TakeRuns(State())) return false;
  const int64_t from = recorder_.MarkReceived();
  endAfter_ = End{from + format->BytesIn(duration), std::chrono::steady_clock::now() + duration + InputStopMargin(duration)};
  thread_->Post([this, bytes = endAfter_->bytes] { controller_->EndAfter(bytes); });
  endCheck_->start();
  return true;
}

void RecordingEngine::EndAtFileSize(int64_t bytes) {
  thread_->Post([this, bytes] { controller_->EndAtFileSize(bytes); });
}

void RecordingEngine::StopIfEnded() {
  const RecorderState state = State();
  if (!endAfter_ || !TakeRuns(state)) return;
  if (recorder_.ReceivedBytes() >= endAfter_->bytes) {
    // The mark cuts the capture at what was received; the stop delivers up to the end exactly.
    const int64_t upTo = std::min(endAfter_->bytes, recorder_.MarkReceived());
    if (!TakeRuns(monitor_.StopRequested(upTo))) return;
    StopUpTo(upTo);
  } else if (std::chrono::steady_clock::now() >= endAfter_->deadline) {
    // The input stopped coming: the file keeps what arrived, and the user is told why it is short.
    const int64_t upTo = recorder_.MarkReceived();
    if (!TakeRuns(monitor_.StopRequested(upTo))) return;
    StopUpTo(upTo, QCoreApplication::translate("RecordingEngine", "输入已停止, 录音已结束 (短于要求的时长, 收到的声音都在文件中)!").toStdString());
  } else {
    return;
  }
  endAfter_.reset();
  endCheck_->stop();
}

void RecordingEngine::StopUpTo(int64_t upTo, std::string warning) {
  thread_->Post([this, upTo, warning = std::move(warning)] {
    controller_->StopIfRecording(upTo);
    if (!warning.empty()) dialogs_->ShowWarning(RecordingController::kAppCaption, warning);
    monitor_.StopHandled();
  });
}

// ---------------------------------------------------------------- choices

void RecordingEngine::Monitor(bool on, double preRecordSeconds) {
  preRecordSeconds_ = preRecordSeconds;
  thread_->Run([this, on, preRecordSeconds] { controller_->Monitoring(on, preRecordSeconds); });
}

void RecordingEngine::InputChanged(bool deviceChanged) {
  thread_->Run([this, deviceChanged] { controller_->ReopenMonitor(deviceChanged); });
}

void RecordingEngine::WatchSamples(bool watched) {
  monitor_.WatchSamples(watched);
  if (watched == paceWatched_) return;
  paceWatched_ = watched;
  // Fewer, larger deliveries wake the audio server, its main loop and this thread less.
  thread_->Post([this, watched] { recorder_.FragmentsPerSecond(watched ? 0 : kUnwatchedFragmentsPerSecond); });
}

void RecordingEngine::FormatChosen(std::optional<RecordingFormat> format) { view_->Format(format); }
void RecordingEngine::DeviceChosen(bool chosen) { view_->DeviceChosen(chosen); }
void RecordingEngine::OutputFileChosen(const std::string& path) { view_->OutputFileChosen(path); }
std::string RecordingEngine::OutputFile() const { return view_->OutputFile(); }

void RecordingEngine::EffectsChanged() {
  thread_->Post([this, settings = effectsModel_.Settings()] { effects_.Apply(settings); });
}

void RecordingEngine::SecondInputMakers(SecondTrack::InputMaker input, SecondTrack::CancellerMaker canceller) {
  thread_->Run([this, &input, &canceller] { controller_->SecondInputMakers(std::move(input), std::move(canceller)); });
}

void RecordingEngine::HandsFreeChanged(const HandsFreeSettings& settings) {
  thread_->Post([this, settings] { controller_->HandsFree(settings); });
}

void RecordingEngine::TextsChanged(const TakeTexts& texts) {
  thread_->Post([this, texts] { controller_->Texts(texts); });
}

void RecordingEngine::ReplaceConfirmed(const std::string& path) {
  thread_->Post([this, path] { controller_->ReplaceConfirmed(path); });
}

void RecordingEngine::FileTypeChanged() {
  thread_->Run([this] { controller_->FileTypeChanged(); });
}

void RecordingEngine::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  const RecorderState state = State();
  if (!AtRest(state) && state != RecorderState::Finishing) Stop();
  thread_->Run([this] { controller_->Shutdown(); });
}

void RecordingEngine::WaitUntilHandled() {
  thread_->Run([] {});
}
