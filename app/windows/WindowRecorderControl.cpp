#include "app/windows/WindowRecorderControl.h"

#include <QComboBox>
#include <algorithm>
#include <array>

#include "app/platform/RemoteRequest.h"
#include "app/recording/DeviceNames.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/RecordingFormat.h"
#include "app/windows/Form1.h"
#include "app/windows/NoticedMessageBoxes.h"
#include "capture/WaveInRecorder.h"
#include "encoding/EncoderSelection.h"

namespace {

constexpr auto kTypeNames = RemoteRequest::kTypeNames;
static_assert(kTypeNames.size() == EncoderSelection::kTypeCount);

RecorderControl::Result Done() { return {true, {}}; }
RecorderControl::Result Refused(const QString& reason) { return {false, reason.toStdString()}; }

}  // namespace

WindowRecorderControl::WindowRecorderControl(Form1& window, NoticedMessageBoxes& boxes)
    : window_(window), boxes_(boxes), heard_(State()), file_(window.OutputFile()) {
  // On the window's own tick rather than a timer of its own: one wake-up less, 40 times a second.
  watch_ = QObject::connect(&window_, &Form1::Ticked, &window_, [this] { OnWatch(); });
}

WindowRecorderControl::~WindowRecorderControl() { QObject::disconnect(watch_); }

RecorderState WindowRecorderControl::State() const { return window_.Engine().State(); }

RecorderControl::Result WindowRecorderControl::Start(const StartOptions& options) {
  switch (State()) {
    case RecorderState::Idle: break;
    case RecorderState::Finishing: return Refused(tr("上一个录音的文件还在完成中"));
    default: return Refused(tr("录音已在进行中"));
  }
  boxes_.Hold();  // a refusal's message, and any warning of a start, goes to the caller
  std::optional<std::string> why = ChooseDevice(options.device);
  if (!why) why = ChooseType(options.type);
  const bool started = !why && window_.Engine().StartAndWait(LengthOf(options.duration));
  std::vector<std::string> warnings = boxes_.Release();
  if (!why && !started) why = warnings.empty() ? tr("录音未能开始").toStdString() : warnings.front();
  if (why) return {false, *why};
  file_ = window_.OutputFile();
  OnWatch();
  return {true, {}, std::move(warnings)};
}

std::optional<std::string> WindowRecorderControl::ChooseDevice(const std::string& device) {
  if (device.empty()) return std::nullopt;
  auto* box = window_.findChild<QComboBox*>(QStringLiteral("cboDev"));
  WaveInRecorder& recorder = window_.Recorder();
  for (int32_t index = 0; index < box->count(); ++index) {
    if (recorder.DeviceName(index) != device && recorder.DeviceSourceName(index) != device) continue;
    box->setCurrentIndex(index);
    emit box->activated(index);  // as the user's choice
    if (recorder.SelectedDevice() == index) return std::nullopt;
    return tr("无法选择设备 \"%1\"").arg(QString::fromStdString(device)).toStdString();
  }
  // One line, as every answer: the names that would work after the refusal.
  return tr("找不到设备 \"%1\", 可用: %2")
      .arg(QString::fromStdString(device), DeviceNames::Listed(recorder).join("; "))
      .toStdString();
}

std::optional<std::string> WindowRecorderControl::ChooseType(const std::string& type) {
  if (type.empty()) return std::nullopt;
  const auto found = std::find(kTypeNames.begin(), kTypeNames.end(), type);
  if (found == kTypeNames.end()) {
    return tr("未知的文件类型 \"%1\", 可用: wav, flac, opus, mp3").arg(QString::fromStdString(type)).toStdString();
  }
  const auto index = static_cast<int32_t>(found - kTypeNames.begin());
  auto* box = window_.findChild<QComboBox*>(QStringLiteral("cboFileType"));
  box->setCurrentIndex(index);
  emit box->activated(index);
  if (window_.Encoders().Type() == index) return std::nullopt;
  return tr("无法使用文件类型 %1").arg(QString::fromStdString(type)).toStdString();
}

std::optional<RecordingEngine::Length> WindowRecorderControl::LengthOf(
    std::optional<std::chrono::milliseconds> duration) const {
  const auto format = RecordingFormat::FromChoices(window_.RateText(), window_.Stereo());
  if (!duration || !format) return std::nullopt;
  return RecordingEngine::Length{format->BytesIn(*duration), *duration};
}

RecorderControl::Result WindowRecorderControl::Stop() {
  switch (State()) {
    case RecorderState::Recording:
    case RecorderState::Paused:
    case RecorderState::Starting: break;
    default: return Refused(tr("没有可停止的录音"));
  }
  window_.Engine().ToggleRecording();
  OnWatch();
  return Done();
}

RecorderControl::Result WindowRecorderControl::Pause() {
  if (State() == RecorderState::Paused) return Refused(tr("录音已暂停"));
  if (State() != RecorderState::Recording) return Refused(tr("没有可暂停的录音"));
  return TogglePause();
}

RecorderControl::Result WindowRecorderControl::Mark(const std::string& name) {
  if (const auto why = window_.Engine().AddMarker(name)) return {false, *why};
  return Done();
}

RecorderControl::Result WindowRecorderControl::Resume() {
  if (State() == RecorderState::Recording) return Refused(tr("录音没有暂停"));
  if (State() != RecorderState::Paused) return Refused(tr("没有可继续的录音"));
  return TogglePause();
}

RecorderControl::Result WindowRecorderControl::TogglePause() {
  // Returns once the recording thread made the cut, so a status asked next shows it.
  window_.Engine().TogglePause();
  window_.Engine().WaitUntilHandled();
  OnWatch();
  return Done();
}

RecorderControl::Result WindowRecorderControl::Toggle() {
  switch (State()) {
    case RecorderState::Idle: return Start({});
    case RecorderState::Finishing: return Refused(tr("上一个录音的文件还在完成中"));
    default: return Stop();
  }
}

RecorderControl::Status WindowRecorderControl::CurrentStatus() const {
  const RecordingMonitor::Snapshot shown = window_.Engine().Observe();
  const bool running = shown.state == RecorderState::Recording || shown.state == RecorderState::Paused;
  return {shown.state, running ? shown.lengthMs : lastLengthMs_,
          shown.state == RecorderState::Idle && file_.empty() ? window_.OutputFile() : file_, shown.lostCount};
}

void WindowRecorderControl::OnStateChanged(StateListener listener) { listeners_.push_back(std::move(listener)); }

void WindowRecorderControl::OnWatch() {
  window_.Engine().StopIfEnded();
  const RecordingMonitor::Progress progress = window_.Engine().Progress();
  if (progress.state == RecorderState::Recording || progress.state == RecorderState::Paused) {
    lastLengthMs_ = progress.lengthMs;
  }
  const RecorderState state = State();
  if (state == heard_) return;
  heard_ = state;
  for (const StateListener& listener : listeners_) listener(state);
}
