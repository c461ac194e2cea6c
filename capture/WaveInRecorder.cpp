// WaveInRecorder: the capture engine (buffer ring over a wave-in driver, GotData
// on the recording thread through a hooked callback window) and the device and line
// members over a source mixer.
#include "capture/WaveInRecorder.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>

#include "capture/compat/CallbackWindow.h"
#include "capture/compat/MessageHook.h"
#include "capture/PulseConnection.h"
#include "capture/PulseSourceMixer.h"
#include "capture/PulseWaveInDriver.h"
#include "capture/SyslogEventLog.h"
#include "capture/WaveInDriver.h"

namespace {

std::string Tr(const char* text) { return QCoreApplication::translate("WaveInRecorder", text).toStdString(); }

std::unique_ptr<WaveInDriver> MakePulseDriver(const std::shared_ptr<PulseConnection>& connection) {
  return std::make_unique<PulseWaveInDriver>(connection);
}

WAVEFORMATEX Pcm16Format(int32_t samplerate, int16_t Channels) {
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<uint16_t>(Channels);
  format.nSamplesPerSec = static_cast<uint32_t>(samplerate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<uint16_t>(Channels * 16 / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  format.cbSize = 0;
  return format;
}

// BufferSize bytes, or one second of `format` where that is less (low rates),
// in whole frames: a block never holds more than the encoder takes at once.
int32_t CaptureBufferBytes(int32_t bufferSize, const WAVEFORMATEX& format) {
  const auto second = static_cast<int64_t>(format.nAvgBytesPerSec) / format.nBlockAlign * format.nBlockAlign;
  return static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(bufferSize, second), format.nBlockAlign));
}

// The driver's own words for a failed call, or the result code's meaning.
std::string DriverFailure(const WaveInDriver& driver, MMRESULT result) {
  if (std::string reason = driver.LastError(); !reason.empty()) return reason;
  switch (result) {
    case MMSYSERR_NODRIVER:
      return Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "没有可用的音频服务器"));
    case MMSYSERR_BADDEVICEID:
      return Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "录音设备不存在"));
    case WAVERR_BADFORMAT:
      return Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "录音格式不受支持"));
    default:
      return QCoreApplication::translate("WaveInRecorder", "驱动错误 %1").arg(result).toStdString();
  }
}

}  // namespace

WaveInRecorder::WaveInRecorder(MessageBoxService* messageBoxes)
    : WaveInRecorder(nullptr, nullptr, messageBoxes, nullptr) {
  const auto connection = std::make_shared<PulseConnection>("Tamblin");
  driver_ = MakePulseDriver(connection);
  mixer_ = std::make_unique<PulseSourceMixer>(connection);
}

WaveInRecorder::WaveInRecorder(std::unique_ptr<WaveInDriver> driver,
                               std::unique_ptr<SourceMixer> mixer,
                               MessageBoxService* messageBoxes, EventLog* eventLog)
    : driver_(std::move(driver)), mixer_(std::move(mixer)) {
  if (eventLog == nullptr) {
    ownLog_ = std::make_unique<SyslogEventLog>();
    eventLog = ownLog_.get();
  }
  hook_ = std::make_unique<MessageHook>("WaveInRecorder", static_cast<HookOwner*>(this),
                                       messageBoxes, eventLog);
}

WaveInRecorder::~WaveInRecorder() {
  if (IsRecording()) StopRecord();
  ReleaseCallbackWindow();
}

bool WaveInRecorder::IsRecording() const { return open_; }

int32_t WaveInRecorder::BufferCount() const { return bufferCount_; }
void WaveInRecorder::BufferCount(int32_t Index) { bufferCount_ = Index; }
int32_t WaveInRecorder::BufferSize() const { return bufferSize_; }
void WaveInRecorder::BufferSize(int32_t bytes) { bufferSize_ = bytes; }

int64_t WaveInRecorder::LostInputCount() const { return driver_->OverflowCount(); }

int64_t WaveInRecorder::LostToQueueCount() const { return driver_->QueueOverflowCount(); }

void WaveInRecorder::QueueSeconds(uint32_t seconds) { queueSeconds_ = seconds; }

void WaveInRecorder::FragmentsPerSecond(uint32_t perSecond) {
  fragmentsPerSecond_ = perSecond;
  if (open_) driver_->FragmentsPerSecond(perSecond);
}

int64_t WaveInRecorder::MarkReceived() { return open_ ? driver_->Mark() : 0; }

int64_t WaveInRecorder::ReceivedBytes() const { return driver_->ReceivedBytes(); }

std::optional<int64_t> WaveInRecorder::CapturedAtUsec(int64_t position) const {
  const CaptureClock* clock = driver_->Clock();
  if (clock == nullptr) return std::nullopt;
  return clock->CapturedAtUsec(position);
}

bool WaveInRecorder::StartRecord(int32_t samplerate, int16_t Channels) {
  // A second start would take the buffers away from the driver that holds them.
  if (open_) {
    startFailure_ = Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "录音已在进行中"));
    return false;
  }
  // The sample array must hold the header's whole length.
  if (bufferCount_ < 1 || bufferSize_ < 2 || bufferSize_ % 2 != 0) {
    return FailStart(Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "缓冲区设置无效")), 0);
  }
  if (samplerate <= 0 || Channels <= 0) {
    return FailStart(Tr(QT_TRANSLATE_NOOP("WaveInRecorder", "取样率或声道数无效")), 0);
  }

  const WAVEFORMATEX format = Pcm16Format(samplerate, Channels);
  if (queueSeconds_ > 0) driver_->QueueSeconds(queueSeconds_);
  driver_->FragmentsPerSecond(fragmentsPerSecond_);
  buffers_.clear();
  buffers_.resize(static_cast<size_t>(bufferCount_));
  CreateCallbackWindow();
  const std::string source = deviceId_ >= 0 ? selectedSource_ : std::string();
  if (const MMRESULT opened = driver_->Open(source, format, callbackWindow_); opened != MMSYSERR_NOERROR) {
    return FailStart(DriverFailure(*driver_, opened), 0);
  }
  open_ = true;
  if (!PrepareBuffers(CaptureBufferBytes(bufferSize_, format))) return false;
  if (const MMRESULT started = driver_->Start(); started != MMSYSERR_NOERROR) {
    return FailStart(DriverFailure(*driver_, started), bufferCount_);
  }
  ++recording_;
  nextBuffer_ = 0;
  deliveredBytes_ = 0;
  reportedLosses_ = reportedQueueLosses_ = 0;
  startFailure_.clear();
  for (CaptureBuffer& buffer : buffers_) driver_->AddBuffer(&buffer.header);
  return true;
}

bool WaveInRecorder::PrepareBuffers(int32_t bytes) {
  for (int32_t i = 0; i < bufferCount_; ++i) {
    CaptureBuffer& buffer = buffers_[static_cast<size_t>(i)];
    buffer.samples.assign(static_cast<size_t>(bytes / 2), 0);
    buffer.dataAddress = buffer.samples.data();
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<char*>(buffer.dataAddress);
    buffer.header.dwBufferLength = static_cast<uint32_t>(bytes);
    buffer.header.dwUser = static_cast<uintptr_t>(i);
    if (const MMRESULT prepared = driver_->Prepare(&buffer.header); prepared != MMSYSERR_NOERROR) {
      return FailStart(DriverFailure(*driver_, prepared), i);
    }
  }
  return true;
}

bool WaveInRecorder::FailStart(std::string cause, int32_t prepared) {
  UnprepareBuffers(prepared - 1);
  if (open_) driver_->Close();
  open_ = false;
  ReleaseCallbackWindow();
  startFailure_ = std::move(cause);
  return false;
}

void WaveInRecorder::UnprepareBuffers(int32_t last) {
  for (int32_t i = last; i >= 0; --i) driver_->Unprepare(&buffers_[static_cast<size_t>(i)].header);
}

bool WaveInRecorder::StopRecord(int64_t upTo) {
  if (stopping_) {
    stopAgain_ = true;
    return true;
  }
  if (open_) {
    stopping_ = true;
    stopAgain_ = false;
    driver_->Stop();
    // The stopped device has received all it will; what came after `upTo` stays out.
    DeliverUpTo(std::min(upTo, driver_->Flush()));
    driver_->Reset();
    for (CaptureBuffer& buffer : buffers_) driver_->Unprepare(&buffer.header);
    driver_->Close();
    open_ = false;
    stopping_ = false;
  }
  ReleaseCallbackWindow();
  return true;
}

void WaveInRecorder::DeliverReceived() {
  if (!open_) return;
  DeliverUpTo(driver_->Flush());
}

void WaveInRecorder::DeliverReceived(int64_t mark) {
  if (!open_) return;
  driver_->Fill();  // the cut at the mark, should no wake-up have made it yet
  DeliverUpTo(mark);
}

void WaveInRecorder::DeliverUpTo(int64_t mark) {
  // Buffers queued again take what the driver still holds before the mark and
  // come back at once. Bounded by the driver's reserve.
  while (!stopAgain_ && open_ && deliveredBytes_ < mark && DeliverHandedBackBuffers(mark)) {
  }
}

void WaveInRecorder::ReportNewLosses() {
  const int64_t queue = driver_->QueueOverflowCount();
  const int64_t all = driver_->OverflowCount();
  if (sink_ != nullptr) {
    if (queue > reportedQueueLosses_) sink_->InputLost(InputLoss::QueueFull);
    if (all - queue > reportedLosses_ - reportedQueueLosses_) sink_->InputLost(InputLoss::ProgramTooBusy);
  }
  reportedQueueLosses_ = queue;
  reportedLosses_ = all;
}

bool WaveInRecorder::DeliverHandedBackBuffers(int64_t upTo) {
  bool delivered = false;
  // The driver hands buffers back in the order they were queued, which is ring order.
  while (open_ && !buffers_.empty() && deliveredBytes_ < upTo &&
         (buffers_[nextBuffer_].header.dwFlags & WHDR_DONE) != 0) {
    CaptureBuffer& buffer = buffers_[nextBuffer_];
    buffer.header.dwFlags &= ~WHDR_DONE;  // delivered once, whoever asks next
    nextBuffer_ = (nextBuffer_ + 1) % buffers_.size();
    delivered = true;
    deliveredBytes_ += buffer.header.dwBytesRecorded;
    const uint64_t recording = recording_;
    int32_t lngLen = static_cast<int32_t>(buffer.header.dwBytesRecorded);
    ReportNewLosses();
    if (sink_ != nullptr) sink_->GotData(std::span<int16_t>(buffer.samples), lngLen);
    // The handler may have stopped (or even restarted) the recording.
    if (!open_ || recording != recording_ || stopAgain_) break;
    driver_->AddBuffer(&buffer.header);
  }
  return delivered;
}

HookHandler WaveInRecorder::FindHookHandler(int32_t nOrdinal) {
  if (nOrdinal != 1) return {};
  return [this](bool bBefore, bool& bHandled, intptr_t& lReturn, WindowHandle hWnd, uint32_t uMsg,
                uintptr_t wParam, intptr_t lParam, intptr_t& lParamUser) {
    HandleWaveInMessage(bBefore, bHandled, lReturn, hWnd, uMsg, wParam, lParam, lParamUser);
  };
}

void WaveInRecorder::HandleWaveInMessage(bool, bool&, intptr_t&, WindowHandle, uint32_t uMsg,
                                         uintptr_t, intptr_t lParam, intptr_t&) {
  if (uMsg == WIM_DEVICE_LOST) {
    if (open_ && sink_ != nullptr) sink_->DeviceLost(driver_->LostReason());
    return;
  }
  // The posted header only says that buffers came back; they are taken in
  // ring order, so one delivered early by a stop is not delivered again.
  if (uMsg == MM_WIM_DATA) DeliverHandedBackBuffers();
}

void WaveInRecorder::CreateCallbackWindow() {
  window_ = CallbackWindow::Create("WAVE_IN_WINDOW");
  callbackWindow_ = window_->Handle();
  HookCallbackWindow();
}

void WaveInRecorder::HookCallbackWindow() {
  hook_->sc_Subclass(callbackWindow_, 0, 1, this, true);
  hook_->sc_WatchMsg(callbackWindow_, MM_WIM_DATA, HOOK_AFTER);
  hook_->sc_WatchMsg(callbackWindow_, WIM_DEVICE_LOST, HOOK_AFTER);
}

void WaveInRecorder::UnhookCallbackWindow() {
  if (callbackWindow_ == 0) return;
  hook_->sc_UnSubclass(callbackWindow_);
  callbackWindow_ = 0;
}

void WaveInRecorder::ReleaseCallbackWindow() {
  UnhookCallbackWindow();
  // Messages still queued for the window are dropped with it; a dispatch now
  // running keeps it alive until it returns.
  window_.reset();
}

// ---- devices and lines -----------------------------------------------------

int32_t WaveInRecorder::DeviceCount() {
  devices_ = mixer_->ListSources();
  return static_cast<int32_t>(devices_.size());
}

std::string WaveInRecorder::DeviceName(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(devices_.size())) return {};
  return devices_[static_cast<size_t>(Index)].description;
}

std::string WaveInRecorder::DeviceSourceName(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(devices_.size())) return {};
  return devices_[static_cast<size_t>(Index)].name;
}

bool WaveInRecorder::DeviceIsOutputMonitor(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(devices_.size())) return false;
  return devices_[static_cast<size_t>(Index)].componentType == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
}

int32_t WaveInRecorder::DefaultOutputMonitorDevice() {
  const std::string monitor = mixer_->DefaultOutputMonitor();
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (!monitor.empty() && devices_[i].name == monitor) return static_cast<int32_t>(i);
  }
  return -1;
}

bool WaveInRecorder::SelectDevice(int32_t Index) {
  if (devices_.empty()) DeviceCount();
  if (Index < 0 || Index > static_cast<int32_t>(devices_.size()) - 1) return false;
  deviceId_ = -1;
  selectedSource_.clear();
  const auto source = mixer_->ReadSource(devices_[static_cast<size_t>(Index)].name);
  if (!source) return false;
  deviceId_ = Index;
  selectedSource_ = source->name;
  return true;
}

int32_t WaveInRecorder::SelectedDevice() const { return deviceId_; }

std::optional<SourceDescription> WaveInRecorder::SelectedSource() {
  if (deviceId_ < 0) return std::nullopt;
  return mixer_->ReadSource(selectedSource_);
}

int32_t WaveInRecorder::MixerLineCount() {
  const auto source = SelectedSource();
  if (!source) return 0;
  // A source without ports is its own single line.
  return source->ports.empty() ? 1 : static_cast<int32_t>(source->ports.size());
}

std::string WaveInRecorder::MixerLineName(int32_t Index) {
  const auto source = SelectedSource();
  if (!source || Index < 0) return {};
  if (source->ports.empty()) return Index == 0 ? source->description : std::string();
  if (Index >= static_cast<int32_t>(source->ports.size())) return {};
  return source->ports[static_cast<size_t>(Index)].description;
}

bool WaveInRecorder::SelectMixerLine(int32_t Index) {
  const auto source = SelectedSource();
  if (!source) return false;
  if (source->ports.empty()) return Index == 0;
  if (Index < 0 || Index >= static_cast<int32_t>(source->ports.size())) return false;
  return mixer_->SetActivePort(source->name, source->ports[static_cast<size_t>(Index)].name);
}

int32_t WaveInRecorder::SelectedMixerLine() {
  const auto source = SelectedSource();
  if (!source) return -1;
  return source->activePort > 0 ? source->activePort : 0;
}

int32_t WaveInRecorder::MixerLineType(int32_t Index) {
  if (Index == -1) Index = SelectedMixerLine();
  const auto source = SelectedSource();
  if (!source || Index < 0) return 0;
  if (source->ports.empty()) return Index == 0 ? source->componentType : 0;
  if (Index >= static_cast<int32_t>(source->ports.size())) return 0;
  return source->ports[static_cast<size_t>(Index)].componentType;
}

int32_t WaveInRecorder::MixerLineVolume() {
  const auto source = SelectedSource();
  if (!source || source->volume.empty()) return 0;
  return static_cast<int32_t>(std::min<uint32_t>(source->volume.front(), INT32_MAX));
}

void WaveInRecorder::MixerLineVolume(int32_t Volume) {
  if (deviceId_ < 0) return;
  mixer_->SetVolume(selectedSource_, static_cast<uint32_t>(Volume < 0 ? 0 : Volume));
}

uint32_t WaveInRecorder::FragmentsPerSecond() const {
  return fragmentsPerSecond_ != 0 ? fragmentsPerSecond_ : PulseWaveInDriver::kFragmentsPerSecond;
}
