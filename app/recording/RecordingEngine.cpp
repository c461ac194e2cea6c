#include "app/recording/RecordingEngine.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>

#include "app/platform/PlainText.h"
#include "app/recording/RecorderViewRelay.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingThread.h"
#include "app/recording/WaveInCapture.h"
#include "app/recording/WindowThreadDialogs.h"
#include "capture/WaveInRecorder.h"
#include "encoding/EncoderSelection.h"

RecordingEngine::RecordingEngine(WaveInRecorder& recorder, EncoderSelection& encoder, const clsDSP& effects,
                                 RecorderView& window, QObject& windowObject, MessageBoxService& messages,
                                 QuestionService* questions)
    : recorder_(recorder),
      encoder_(encoder),
      effectsModel_(effects),
      view_(std::make_unique<RecorderViewRelay>(window, windowObject)),
      dialogs_(std::make_unique<WindowThreadDialogs>(messages, questions, windowObject)),
      capture_(std::make_unique<WaveInCapture>(recorder)),
      controller_(std::make_unique<RecordingController>(*capture_, encoder, effects_, *view_, *dialogs_)),
      thread_(std::make_unique<RecordingThread>()) {
  controller_->Questions(dialogs_.get());
  controller_->Monitor(&monitor_);
  recorder_.Sink(controller_.get());
  // Apply only throws for a band count outside 1..10, and every Settings() handed to it here
  // comes from a chain that holds that count itself; nothing else the posted work runs throws
  // AppError, so none can escape a posted function.
  effects_.Apply(effectsModel_.Settings());
}

RecordingEngine::~RecordingEngine() {
  Shutdown();
  thread_.reset();
  recorder_.Sink(nullptr);
}

void RecordingEngine::StartUp() {
  view_->TakeChoices();
  thread_->Run([this] { controller_->StartUp(); });
}

void RecordingEngine::ToggleRecording() {
  switch (monitor_.State()) {
    case RecorderState::Idle:
      Start(std::nullopt);
      return;
    case RecorderState::Starting:
      // Not started yet: whatever it captures before the stop is kept.
      monitor_.StopRequested(0);
      thread_->Post([this] {
        controller_->StopIfRecording(INT64_MAX);
        monitor_.StopHandled();
      });
      return;
    case RecorderState::Recording:
    case RecorderState::Paused:
      StopUpTo(recorder_.MarkReceived());
      return;
    case RecorderState::Finishing:
      return;  // the file is being finished; the next start comes after it
  }
}

void RecordingEngine::Start(std::optional<Length> length) {
  endAfter_.reset();
  if (length) {
    endAfter_ = End{length->bytes,
                    std::chrono::steady_clock::now() + length->duration + InputStopMargin(length->duration)};
  }
  markersAsked_ = 0;
  view_->TakeChoices();
  monitor_.StartRequested();
  // The limit goes with the start: a first block larger than it is cut too.
  thread_->Post([this, settings = effectsModel_.Settings(), endAfterBytes = length ? length->bytes : INT64_MAX] {
    effects_.Apply(settings);
    controller_->StartIfIdle(endAfterBytes);
    monitor_.StartHandled();
  });
}

void RecordingEngine::TogglePause() {
  const RecorderState state = monitor_.State();
  if (state != RecorderState::Recording && state != RecorderState::Paused) return;
  const int64_t mark = recorder_.MarkReceived();
  thread_->Post([this, mark] { controller_->TogglePause(mark); });
}

bool RecordingEngine::StartAndWait(std::optional<Length> length) {
  if (monitor_.State() != RecorderState::Idle) return false;
  Start(length);
  WaitUntilHandled();
  return monitor_.State() != RecorderState::Idle;
}

std::chrono::milliseconds RecordingEngine::InputStopMargin(std::chrono::milliseconds duration) {
  return std::chrono::seconds(5) + duration / 100;
}

void RecordingEngine::StopIfEnded() {
  const RecorderState state = monitor_.State();
  if (!endAfter_ || (state != RecorderState::Recording && state != RecorderState::Paused)) return;
  if (recorder_.ReceivedBytes() >= endAfter_->bytes) {
    // The mark cuts the capture at what was received; the stop delivers up to the end exactly.
    StopUpTo(std::min(endAfter_->bytes, recorder_.MarkReceived()));
  } else if (std::chrono::steady_clock::now() >= endAfter_->deadline) {
    // The input stopped coming: the file keeps what arrived, and the user hears why it is short.
    StopUpTo(recorder_.MarkReceived(),
             QCoreApplication::translate("RecordingEngine", "输入已停止, 录音已结束 (短于要求的时长, 收到的声音都在文件中)!")
                 .toStdString());
  } else {
    return;
  }
  endAfter_.reset();
}

void RecordingEngine::StopUpTo(int64_t upTo, std::string warning) {
  monitor_.StopRequested(upTo);
  thread_->Post([this, upTo, warning = std::move(warning)] {
    controller_->StopIfRecording(upTo);
    if (!warning.empty()) dialogs_->ShowWarning(RecordingController::kAppCaption, warning);
    monitor_.StopHandled();
  });
}

std::optional<std::string> RecordingEngine::AddMarker(const std::string& name) {
  const RecorderState state = monitor_.State();
  if (state != RecorderState::Recording && state != RecorderState::Paused) {
    return QCoreApplication::translate("RecordingEngine", "没有正在进行的录音").toStdString();
  }
  // Counted here rather than in the file's markers, so the answer is known at once; a take
  // split into parts counts them all, so no part holds more of the user's.
  if (markersAsked_ >= TakeMarkers::kAskedLimit) {
    return QCoreApplication::translate("RecordingEngine", "这次录音的标记已达上限 (%1 个), 没有再加")
        .arg(TakeMarkers::kAskedLimit)
        .toStdString();
  }
  ++markersAsked_;
  thread_->Post([this, mark = recorder_.MarkReceived(), name = PlainText::OneLine(name)] {
    controller_->AddMarker(mark, name);
  });
  return std::nullopt;
}

void RecordingEngine::EffectsChanged() {
  thread_->Post([this, settings = effectsModel_.Settings()] { effects_.Apply(settings); });
}

void RecordingEngine::HandsFreeChanged(const HandsFreeSettings& settings) {
  thread_->Post([this, settings] { controller_->HandsFree(settings); });
}

void RecordingEngine::TextsChanged(const TakeTexts& texts) {
  thread_->Post([this, texts] { controller_->Texts(texts); });
}

void RecordingEngine::OutputFileChosen(const std::string& path) { view_->OutputFileChosen(path); }

void RecordingEngine::ReplaceConfirmed(const std::string& path) {
  thread_->Post([this, path] { controller_->ReplaceConfirmed(path); });
}

void RecordingEngine::FileTypeChanged() {
  view_->TakeChoices();
  thread_->Run([this] { controller_->FileTypeChanged(); });
}

void RecordingEngine::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  const RecorderState state = monitor_.State();
  if (state != RecorderState::Idle && state != RecorderState::Finishing) ToggleRecording();
  thread_->Run([this] { controller_->Shutdown(); });
}

void RecordingEngine::WaitUntilHandled() {
  thread_->Run([] {});
}
