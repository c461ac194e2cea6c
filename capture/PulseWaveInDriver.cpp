// PulseWaveInDriver: record stream, reserve ring and buffer queue.
#include "capture/PulseWaveInDriver.h"

#include <algorithm>
#include <cstring>

#include "capture/PulseCaptureTime.h"
#include "capture/PulseConnection.h"

namespace {

bool IsCapturablePcm(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16 &&
         format.nChannels >= 1 && format.nChannels <= PA_CHANNELS_MAX &&
         format.nSamplesPerSec >= 1 && format.nSamplesPerSec <= PA_RATE_MAX &&
         format.nBlockAlign == format.nChannels * 2;
}

}  // namespace

PulseWaveInDriver::PulseWaveInDriver(std::shared_ptr<PulseConnection> connection)
    : connection_(std::move(connection)) {}

PulseWaveInDriver::~PulseWaveInDriver() { Close(); }

MMRESULT PulseWaveInDriver::Open(const std::string& sourceName, const WAVEFORMATEX& format,
                                 WindowHandle callbackWindow) {
  lastError_.clear();
  if (!IsCapturablePcm(format)) return Fail(WAVERR_BADFORMAT, pa_strerror(PA_ERR_NOTSUPPORTED));
  PulseConnection::Lock lock(*connection_);
  if (stream_ != nullptr) return Fail(MMSYSERR_ERROR, pa_strerror(PA_ERR_BADSTATE));
  if (!connection_->EnsureConnected()) return Fail(MMSYSERR_NODRIVER, connection_->LastError());
  const pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, format.nSamplesPerSec,
                            static_cast<uint8_t>(format.nChannels)};
  pa_channel_map map;
  pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_WAVEEX);
  stream_ = pa_stream_new(connection_->Context(), "Tamblin recording", &sampleSpec, &map);
  if (stream_ == nullptr) return Fail(MMSYSERR_ERROR, connection_->LastError());
  pa_stream_set_state_callback(stream_, &PulseWaveInDriver::OnState, this);
  pa_stream_set_read_callback(stream_, &PulseWaveInDriver::OnRead, this);
  pa_stream_set_overflow_callback(stream_, &PulseWaveInDriver::OnOverflow, this);

  const uint32_t bytesPerSecond = format.nSamplesPerSec * format.nBlockAlign;
  // At low rates the server still hands over whole blocks of its sources.
  const uint64_t reserveBytes = std::clamp<uint64_t>(uint64_t{bytesPerSecond} * queueSeconds_, kMinReserveBytes,
                                                     kMaxReserveBytes);
  {
    std::lock_guard buffers(bufferMutex_);
    reserve_.Reset(reserveBytes);
    marks_.clear();
    overflowing_ = running_ = lossPending_ = false;
  }
  receivedBytes_ = 0;
  readBytes_ = 0;
  timeline_.Reset(bytesPerSecond, format.nBlockAlign);
  corked_ = true;
  format_ = format;
  const pa_buffer_attr attr = BufferAttributes();
  // DONT_MOVE: a vanished source ends the recording instead of silently
  // switching it to another input.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_DONT_MOVE | PulseCaptureTime::kStreamFlags);
  const bool connected =
      pa_stream_connect_record(stream_, sourceName.empty() ? nullptr : sourceName.c_str(), &attr,
                               flags) == 0 &&
      connection_->WaitStreamReady(stream_);
  if (!connected) {
    const bool noSuchSource = pa_context_errno(connection_->Context()) == PA_ERR_NOENTITY;
    std::string reason = connection_->LastError();
    CloseStream();
    return Fail(noSuchSource ? MMSYSERR_BADDEVICEID : MMSYSERR_ERROR, std::move(reason));
  }
  window_ = callbackWindow;
  wakeWindow_ = CallbackWindow::Create("WAVE_IN_DRIVER");
  wakeWindow_->SetWindowProc([this](WindowHandle, uint32_t uMsg, uintptr_t, intptr_t) -> intptr_t {
    if (uMsg == kWakeMessage) OnWake();
    return 0;
  });
  wakeHandle_ = wakeWindow_->Handle();
  wakePending_ = false;
  overflows_ = 0;
  queueOverflows_ = 0;
  lost_ = false;
  lostReason_.clear();
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDriver::Prepare(WAVEHDR* header) {
  if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0) {
    return MMSYSERR_INVALPARAM;
  }
  header->dwFlags = (header->dwFlags | WHDR_PREPARED) & ~WHDR_DONE;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDriver::Unprepare(WAVEHDR* header) {
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard buffers(bufferMutex_);
  if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDriver::AddBuffer(WAVEHDR* header) {
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  // No main loop lock: stream_ only changes on this (the UI) thread, and the
  // queue has a lock of its own, so handing a buffer back never waits for the
  // main loop thread.
  if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
  std::lock_guard buffers(bufferMutex_);
  if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
  header->dwBytesRecorded = 0;
  header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
  header->lpNext = nullptr;
  if (tail_ != nullptr) {
    tail_->lpNext = header;
  } else {
    head_ = header;
  }
  tail_ = header;
  Pump();  // input waiting in the reserve goes in at once
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDriver::Start() {
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (lost_) return Fail(MMSYSERR_ERROR, lostReason_);
  SetRunning(true);  // before uncorking, so the first data is kept
  if (!Cork(false)) {
    SetRunning(false);
    return Fail(MMSYSERR_ERROR, connection_->LastError());
  }
  if (timeline_.Readings() < PulseTimingBurst::kReadings) {
    startReadings_.Start(stream_, pa_threaded_mainloop_get_api(connection_->Mainloop()),
                         [this] { return NoteFreshTiming(); });
  }
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveInDriver::Stop() {
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
  // Corked once: a second stop (or the reset's) asks nothing of the server.
  // Input the server sent before the cork took effect arrives during the wait
  // and is kept.
  const bool corked = lost_ || corked_ || Cork(true);
  startReadings_.Stop();
  SetRunning(false);
  std::lock_guard buffers(bufferMutex_);
  // Everything received so far goes out, the last of it in a partly filled buffer.
  Pump();
  if (head_ != nullptr && head_->dwBytesRecorded > 0) Complete();
  return corked ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

MMRESULT PulseWaveInDriver::Reset() {
  const MMRESULT stopped = Stop();
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard buffers(bufferMutex_);
    HandBackAll();
    reserve_.Reset(reserve_.Capacity());
    marks_.clear();
  }
  if (!lost_) connection_->WaitOperation(pa_stream_flush(stream_, nullptr, nullptr));
  return stopped;
}

int64_t PulseWaveInDriver::Flush() {
  // The main loop thread stores under the same lock: the mark falls between
  // two stored pieces, never inside one.
  std::lock_guard buffers(bufferMutex_);
  AddMark();
  Pump();
  return receivedBytes_;
}

int64_t PulseWaveInDriver::Mark() {
  {
    std::lock_guard buffers(bufferMutex_);
    AddMark();
  }
  // The filling thread cuts there now, not only when the next buffer is full.
  if (wakeHandle_ != 0) Wake();
  return receivedBytes_;
}

void PulseWaveInDriver::Fill() {
  std::lock_guard buffers(bufferMutex_);
  Pump();
}

void PulseWaveInDriver::AddMark() {
  // A mark at or before the last one adds no cut.
  if (marks_.size() < kMaxMarks && (marks_.empty() || marks_.back() < receivedBytes_)) {
    marks_.push_back(receivedBytes_);
  }
}

MMRESULT PulseWaveInDriver::Close() {
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr) return MMSYSERR_INVALHANDLE;
  CloseStream();
  return MMSYSERR_NOERROR;
}

std::string PulseWaveInDriver::LostReason() const {
  PulseConnection::Lock lock(*connection_);
  return lostReason_;
}

void PulseWaveInDriver::CloseStream() {
  {
    std::lock_guard buffers(bufferMutex_);
    // Buffers still queued stay the engine's; they are no longer in our queue.
    for (WAVEHDR* header = head_; header != nullptr; header = header->lpNext) {
      header->dwFlags &= ~WHDR_INQUEUE;
    }
    head_ = tail_ = nullptr;
    running_ = lossPending_ = false;
    marks_.clear();
  }
  startReadings_.Stop();
  window_ = 0;
  // Wake-ups still queued for the old window are dropped with it.
  wakeWindow_.reset();
  wakeHandle_ = 0;
  if (stream_ == nullptr) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_overflow_callback(stream_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

void PulseWaveInDriver::FragmentsPerSecond(uint32_t perSecond) {
  const uint32_t pace = perSecond > 0 ? perSecond : kFragmentsPerSecond;
  if (pace == fragmentsPerSecond_) return;
  fragmentsPerSecond_ = pace;
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr || lost_) return;
  // The server keeps what it holds for us: a new pace loses or repeats no input.
  const pa_buffer_attr attr = BufferAttributes();
  connection_->WaitOperation(pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr));
}

uint32_t PulseWaveInDriver::GrantedFragmentBytes() const {
  PulseConnection::Lock lock(*connection_);
  if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) return 0;
  const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
  return granted != nullptr ? granted->fragsize : 0;
}

pa_buffer_attr PulseWaveInDriver::BufferAttributes() const {
  const uint32_t bytesPerSecond = format_.nSamplesPerSec * format_.nBlockAlign;
  pa_buffer_attr attr;
  attr.maxlength = std::max(bytesPerSecond * kServerBufferSeconds, kMinReserveBytes);
  attr.fragsize = std::max<uint32_t>(format_.nBlockAlign, bytesPerSecond / fragmentsPerSecond_ /
                                                              format_.nBlockAlign * format_.nBlockAlign);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
  return attr;
}

bool PulseWaveInDriver::Cork(bool corked) {
  // Counts as corked even when the server did not confirm: no input is kept
  // any more, and a hung server is not asked twice.
  const bool done = connection_->WaitOperation(pa_stream_cork(stream_, corked ? 1 : 0, nullptr, nullptr));
  corked_ = corked || !done;
  return done;
}

MMRESULT PulseWaveInDriver::Fail(MMRESULT result, std::string reason) {
  lastError_ = std::move(reason);
  return result;
}

void PulseWaveInDriver::SetRunning(bool running) {
  std::lock_guard buffers(bufferMutex_);
  running_ = running;
}

void PulseWaveInDriver::OnRead(pa_stream*, size_t, void* self) {
  static_cast<PulseWaveInDriver*>(self)->Drain();
}

void PulseWaveInDriver::OnOverflow(pa_stream*, void* self) {
  ++static_cast<PulseWaveInDriver*>(self)->overflows_;
}

void PulseWaveInDriver::OnState(pa_stream* stream, void* self) {
  auto* driver = static_cast<PulseWaveInDriver*>(self);
  driver->connection_->Signal();  // Open may be waiting for READY
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (PA_STREAM_IS_GOOD(state) || driver->lost_ || driver->window_ == 0) return;
  driver->lost_ = true;
  driver->lostReason_ = pa_strerror(pa_context_errno(pa_stream_get_context(stream)));
  {
    std::lock_guard buffers(driver->bufferMutex_);
    driver->running_ = false;
    driver->lossPending_ = true;
  }
  driver->Wake();
}

void PulseWaveInDriver::Drain() {
  const void* data = nullptr;
  size_t bytes = 0;
  bool wake = false;
  bool stored = false;
  while (pa_stream_readable_size(stream_) > 0) {
    if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) break;
    readBytes_ += static_cast<int64_t>(bytes);
    {
      std::lock_guard buffers(bufferMutex_);
      if (running_) StoreInReserve(static_cast<const char*>(data), bytes);
      stored = stored || running_;
      wake = WakeWanted();
    }
    pa_stream_drop(stream_);
  }
  if (stored) NoteCaptureTime(PulseCaptureTime::Latest(stream_));
  if (wake) Wake();
}

bool PulseWaveInDriver::NoteCaptureTime(const std::optional<PulseCaptureTime::Reading>& reading) {
  // Input read but not kept (before the start, or with the reserve full)
  // does not count among the received bytes.
  return reading && timeline_.Note(reading->streamBytes - (readBytes_ - receivedBytes_), reading->capturedAtUsec);
}

bool PulseWaveInDriver::NoteFreshTiming() {
  bool running = false;
  {
    std::lock_guard buffers(bufferMutex_);
    running = running_;
  }
  // Stopped, the input the server holds is not kept: its timing would mislead.
  return running && NoteCaptureTime(PulseCaptureTime::Current(stream_));
}

void PulseWaveInDriver::Wake() {
  if (!wakePending_.exchange(true)) {
    CallbackWindow::PostMessage(wakeHandle_, kWakeMessage, 0, 0);
  }
}

void PulseWaveInDriver::OnWake() {
  // Cleared before looking, so input stored from now on asks again.
  wakePending_ = false;
  std::lock_guard buffers(bufferMutex_);
  Pump();
  if (!lossPending_) return;
  lossPending_ = false;
  // Everything received before the loss is out; now tell the engine.
  if (head_ != nullptr && head_->dwBytesRecorded > 0) Complete();
  CallbackWindow::PostMessage(window_, WIM_DEVICE_LOST, 0, 0);
}

bool PulseWaveInDriver::WakeWanted() const {
  if (lossPending_) return true;
  return head_ != nullptr && reserve_.Used() >= head_->dwBufferLength - head_->dwBytesRecorded;
}

void PulseWaveInDriver::StoreInReserve(const char* data, size_t bytes) {
  const size_t stored = reserve_.Store(data, bytes);  // nullptr data: a hole in the stream, silence
  if (stored < bytes) {
    // Whole run of dropped input counts once.
    if (!overflowing_) ++queueOverflows_;
    overflowing_ = true;
  } else {
    overflowing_ = false;
  }
  receivedBytes_ += static_cast<int64_t>(stored);
}

void PulseWaveInDriver::Pump() {
  for (;;) {
    // Received bytes already taken into buffers.
    const int64_t taken = receivedBytes_ - static_cast<int64_t>(reserve_.Used());
    if (!marks_.empty() && marks_.front() <= taken) {
      // Everything before the mark is in buffers: the one being filled goes now.
      marks_.pop_front();
      if (head_ != nullptr && head_->dwBytesRecorded > 0) Complete();
      continue;
    }
    size_t available = reserve_.Used();
    if (!marks_.empty()) available = std::min(available, static_cast<size_t>(marks_.front() - taken));
    if (head_ == nullptr || available == 0) return;
    const size_t space = head_->dwBufferLength - head_->dwBytesRecorded;
    const size_t part = reserve_.Take(head_->lpData + head_->dwBytesRecorded, std::min(space, available));
    head_->dwBytesRecorded += static_cast<uint32_t>(part);
    if (head_->dwBytesRecorded == head_->dwBufferLength) Complete();
  }
}

void PulseWaveInDriver::Complete() {
  WAVEHDR* const header = head_;
  head_ = header->lpNext;
  if (head_ == nullptr) tail_ = nullptr;
  header->lpNext = nullptr;
  header->dwFlags = (header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
  CallbackWindow::PostMessage(window_, MM_WIM_DATA, 0, reinterpret_cast<intptr_t>(header));
}

void PulseWaveInDriver::HandBackAll() {
  while (head_ != nullptr) Complete();
}
