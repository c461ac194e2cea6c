// PulseTimedInput: record stream -> timed queue, with gaps filled.
#include "capture/PulseTimedInput.h"

#include <algorithm>
#include <utility>

#include "capture/PulseConnection.h"

#include <pulse/rtclock.h>

PulseTimedInput::PulseTimedInput(std::shared_ptr<PulseConnection> connection)
    : connection_(std::move(connection)) {}

PulseTimedInput::~PulseTimedInput() { Close(); }

std::string PulseTimedInput::Open(const std::string& sourceName, int32_t rate, int16_t channels,
                                  uint32_t fragmentsPerSecond) {
  PulseConnection::Lock lock(*connection_);
  if (stream_ != nullptr) return pa_strerror(PA_ERR_BADSTATE);
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(rate), static_cast<uint8_t>(channels)};
  if (rate <= 0 || channels <= 0 || pa_sample_spec_valid(&spec) == 0) return pa_strerror(PA_ERR_NOTSUPPORTED);
  if (!connection_->EnsureConnected()) return connection_->LastError();
  pa_channel_map map;
  pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX);
  stream_ = pa_stream_new(connection_->Context(), "Tamblin second input", &spec, &map);
  if (stream_ == nullptr) return connection_->LastError();
  channels_ = channels;
  const int64_t frameBytes = int64_t{channels} * 2;
  timeline_.Reset(rate * frameBytes, frameBytes);
  arrivals_.Reset(rate * frameBytes, frameBytes);
  filledBytes_ = filledBefore_ = lastFillAt_ = streamBytes_ = 0;
  longestRunUsec_ = 0;
  rate_ = rate;
  {
    std::lock_guard queue(mutex_);
    queue_.clear();
    queueStart_ = 0;
    queueLimit_ = static_cast<size_t>(int64_t{rate} * channels * kQueueSeconds);
    receivedFrames_ = takenFrames_ = 0;
    gaps_.clear();
    vanished_ = false;
    vanishedReason_.clear();
  }
  pa_stream_set_state_callback(stream_, &PulseTimedInput::OnState, this);
  pa_stream_set_read_callback(stream_, &PulseTimedInput::OnRead, this);
  pa_buffer_attr attr;
  attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(frameBytes * std::max<int64_t>(1, rate / std::max(fragmentsPerSecond, 1u)));
  // DONT_MOVE: a vanished source ends this input instead of switching it to another.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                                    PulseCaptureTime::kStreamFlags);
  if (pa_stream_connect_record(stream_, sourceName.empty() ? nullptr : sourceName.c_str(), &attr, flags) != 0 ||
      !connection_->WaitStreamReady(stream_)) {
    std::string reason = connection_->LastError();
    CloseStream();
    return reason;
  }
  startReadings_.Start(stream_, pa_threaded_mainloop_get_api(connection_->Mainloop()),
                       [this] { return NoteFreshTiming(); });
  return {};
}

void PulseTimedInput::Close() {
  PulseConnection::Lock lock(*connection_);
  CloseStream();
}

void PulseTimedInput::CloseStream() {
  if (stream_ == nullptr) return;
  startReadings_.Stop();
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

bool PulseTimedInput::WaitFor(int64_t frames, std::chrono::milliseconds limit) {
  std::unique_lock queue(mutex_);
  arrived_.wait_for(queue, limit, [&] { return receivedFrames_ >= frames || vanished_; });
  return receivedFrames_ >= frames;
}

bool PulseTimedInput::WaitForTiming(size_t readings, std::chrono::milliseconds limit) {
  std::unique_lock queue(mutex_);
  return arrived_.wait_for(queue, limit, [&] { return timeline_.Readings() >= readings || vanished_; }) &&
         !vanished_;
}

size_t PulseTimedInput::Take(std::span<int16_t> out) {
  std::lock_guard queue(mutex_);
  const size_t wholeFrames = out.size() / static_cast<size_t>(channels_) * static_cast<size_t>(channels_);
  const size_t count = std::min(wholeFrames, queue_.size() - queueStart_);
  std::copy_n(queue_.begin() + static_cast<std::ptrdiff_t>(queueStart_), count, out.begin());
  queueStart_ += count;
  takenFrames_ += static_cast<int64_t>(count) / channels_;
  return count;
}

int64_t PulseTimedInput::ReceivedFrames() const {
  std::lock_guard queue(mutex_);
  return receivedFrames_;
}

int64_t PulseTimedInput::LongestRunUsec() const { return longestRunUsec_; }

int64_t PulseTimedInput::TakenFrames() const {
  std::lock_guard queue(mutex_);
  return takenFrames_;
}

std::optional<double> PulseTimedInput::FrameCapturedAt(int64_t usec) const {
  const std::optional<double> position = timeline_.PositionAt(usec);
  if (!position) return std::nullopt;
  return *position / (channels_ * 2);
}

std::vector<PulseTimedInput::Gap> PulseTimedInput::TakeGaps() {
  std::lock_guard queue(mutex_);
  return std::exchange(gaps_, {});
}

bool PulseTimedInput::Vanished() const {
  std::lock_guard queue(mutex_);
  return vanished_;
}

std::string PulseTimedInput::VanishedReason() const {
  std::lock_guard queue(mutex_);
  return vanishedReason_;
}

void PulseTimedInput::OnRead(pa_stream*, size_t, void* self) { static_cast<PulseTimedInput*>(self)->Drain(); }

void PulseTimedInput::OnState(pa_stream* stream, void* self) {
  auto* input = static_cast<PulseTimedInput*>(self);
  input->connection_->Signal();  // Open may be waiting for READY
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) return;
  {
    std::lock_guard queue(input->mutex_);
    input->vanished_ = true;
    input->vanishedReason_ = pa_strerror(pa_context_errno(pa_stream_get_context(stream)));
  }
  input->arrived_.notify_all();
}

void PulseTimedInput::Drain() {
  scratch_.clear();
  std::vector<Gap> holes;  // the stream's own, rare
  const void* data = nullptr;
  size_t bytes = 0;
  while (pa_stream_readable_size(stream_) > 0) {
    if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) break;
    const auto* samples = static_cast<const int16_t*>(data);
    const size_t count = bytes / sizeof(int16_t);
    if (samples == nullptr) {
      holes.push_back({static_cast<int64_t>(scratch_.size()) / channels_, static_cast<int64_t>(count) / channels_});
      scratch_.resize(scratch_.size() + count, 0);
    } else {
      scratch_.insert(scratch_.end(), samples, samples + count);
    }
    pa_stream_drop(stream_);
  }
  const int64_t streamBefore = streamBytes_;
  streamBytes_ += static_cast<int64_t>(scratch_.size() * sizeof(int16_t));
  if (scratch_.empty()) return;
  // A reading of the server's timing may predate a pause, so the pause shows
  // in when the input arrives: late by far more than the input's bursts.
  const auto arrivedAt = static_cast<int64_t>(pa_rtclock_now());
  const std::optional<PulseCaptureTime::Reading> reading = PulseCaptureTime::Latest(stream_);
  const int64_t frameBytes = int64_t{channels_} * 2;
  const int64_t runFrames = static_cast<int64_t>(scratch_.size()) / channels_;
  longestRunUsec_ = std::max(longestRunUsec_.load(), runFrames * 1'000'000 / rate_);
  {
    std::lock_guard queue(mutex_);
    int64_t end = (receivedFrames_ + runFrames) * frameBytes;
    const int64_t tolerance = CaptureTimeline::kGapUsec + 2 * longestRunUsec_;
    const int64_t missing = arrivals_.GapBefore(end, arrivedAt, tolerance) / frameBytes;
    if (missing > 0) {
      gaps_.push_back({receivedFrames_, missing});
      Store(nullptr, static_cast<size_t>(missing * channels_));
      end += missing * frameBytes;
      filledBefore_ = filledBytes_;
      filledBytes_ += missing * frameBytes;
      lastFillAt_ = streamBefore;
    }
    for (Gap& hole : holes) gaps_.push_back({receivedFrames_ + hole.frame, hole.frames});
    Store(scratch_.data(), scratch_.size());
    arrivals_.Note(end, arrivedAt);
    if (reading) NoteTiming(*reading);
  }
  arrived_.notify_all();
}

bool PulseTimedInput::NoteFreshTiming() {
  const std::optional<PulseCaptureTime::Reading> reading = PulseCaptureTime::Current(stream_);
  if (!reading) return false;
  bool counted = false;
  {
    std::lock_guard queue(mutex_);
    counted = NoteTiming(*reading);
  }
  arrived_.notify_all();
  return counted;
}

bool PulseTimedInput::NoteTiming(const PulseCaptureTime::Reading& reading) {
  // A reading taken before the last fill does not count it.
  const int64_t filled = reading.streamBytes > lastFillAt_ ? filledBytes_ : filledBefore_;
  return timeline_.Note(reading.streamBytes + filled, reading.capturedAtUsec);
}

void PulseTimedInput::Store(const int16_t* samples, size_t count) {
  if (queueStart_ > 0 && queueStart_ >= queue_.size() / 2) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueStart_));
    queueStart_ = 0;
  }
  // An owner that takes nothing loses the oldest input, not the newest.
  const size_t over = (queue_.size() - queueStart_ + count > queueLimit_)
                          ? std::min(queue_.size() - queueStart_, queue_.size() - queueStart_ + count - queueLimit_)
                          : 0;
  queueStart_ += over;
  takenFrames_ += static_cast<int64_t>(over) / channels_;
  if (samples == nullptr) {
    queue_.resize(queue_.size() + count, 0);
  } else {
    queue_.insert(queue_.end(), samples, samples + count);
  }
  receivedFrames_ += static_cast<int64_t>(count) / channels_;
}
