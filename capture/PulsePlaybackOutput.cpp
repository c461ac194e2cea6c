#include "capture/PulsePlaybackOutput.h"

#include <pulse/pulseaudio.h>

#include "capture/PulseConnection.h"

namespace {
constexpr uint32_t kQueuedMsPerSecond = 5;  // a fifth of a second queued at the server
}

PulsePlaybackOutput::PulsePlaybackOutput() : connection_(std::make_unique<PulseConnection>("Tamblin playback")) {}

PulsePlaybackOutput::~PulsePlaybackOutput() { Close(); }

std::string PulsePlaybackOutput::Open(int32_t rate, int16_t channels) {
  PulseConnection::Lock lock(*connection_);
  CloseLocked();
  lastError_.clear();
  if (!connection_->EnsureConnected()) return lastError_ = connection_->LastError();
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(rate), static_cast<uint8_t>(channels)};
  if (pa_sample_spec_valid(&spec) == 0) return lastError_ = pa_strerror(PA_ERR_INVALID);
  pa_channel_map map;
  pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX);
  stream_ = pa_stream_new(connection_->Context(), "Tamblin playback", &spec, &map);
  if (stream_ == nullptr) return lastError_ = connection_->LastError();
  pa_stream_set_state_callback(stream_, &PulsePlaybackOutput::OnState, this);
  rate_ = rate;
  channels_ = channels;
  pa_buffer_attr attr;
  attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(pa_bytes_per_second(&spec) / kQueuedMsPerSecond);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                    PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_NOT_MONOTONIC);
  const bool ready = pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) == 0 &&
                     connection_->WaitStreamReady(stream_);
  if (!ready) {
    lastError_ = connection_->LastError();
    CloseLocked();
  }
  return lastError_;
}

bool PulsePlaybackOutput::StreamGood() const {
  return stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY;
}

int64_t PulsePlaybackOutput::Writable() {
  PulseConnection::Lock lock(*connection_);
  if (!StreamGood()) return 0;
  const size_t bytes = pa_stream_writable_size(stream_);
  return bytes == static_cast<size_t>(-1) ? 0 : static_cast<int64_t>(bytes / (sizeof(int16_t) * channels_));
}

bool PulsePlaybackOutput::Write(std::span<const int16_t> samples) {
  PulseConnection::Lock lock(*connection_);
  if (!StreamGood() || pa_stream_write(stream_, samples.data(), samples.size_bytes(), nullptr, 0, PA_SEEK_RELATIVE) != 0) {
    lastError_ = connection_->LastError();
    return false;
  }
  return true;
}

int64_t PulsePlaybackOutput::PlayedFrames() {
  PulseConnection::Lock lock(*connection_);
  pa_usec_t played = 0;
  if (!StreamGood() || pa_stream_get_time(stream_, &played) != 0) return 0;
  return static_cast<int64_t>(played * rate_ / PA_USEC_PER_SEC);
}

void PulsePlaybackOutput::Drain() {
  PulseConnection::Lock lock(*connection_);
  if (!StreamGood() || drain_ != nullptr) return;
  drain_ = pa_stream_drain(stream_, nullptr, nullptr);
}

bool PulsePlaybackOutput::Drained() {
  PulseConnection::Lock lock(*connection_);
  // A stream that failed has nothing left to play either.
  return !StreamGood() || (drain_ != nullptr && pa_operation_get_state(drain_) != PA_OPERATION_RUNNING);
}

void PulsePlaybackOutput::Close() {
  PulseConnection::Lock lock(*connection_);
  CloseLocked();
}

void PulsePlaybackOutput::CloseLocked() {
  if (drain_ != nullptr) {
    pa_operation_cancel(drain_);
    pa_operation_unref(drain_);
    drain_ = nullptr;
  }
  if (stream_ == nullptr) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

void PulsePlaybackOutput::OnState(pa_stream*, void* self) {
  static_cast<PulsePlaybackOutput*>(self)->connection_->Signal();  // Open may be waiting for READY
}
