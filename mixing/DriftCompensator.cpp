// DriftCompensator: a queue of second-input frames, libswresample's
// fractional-rate resampler and the PI loop that sets its ratio.
#include "mixing/DriftCompensator.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

// Frames handed to the resampler at once: small, so little waits inside it.
constexpr int64_t kChunkFrames = 256;
// The compensation is set as "delta output samples over this many": 100 s
// of them make its steps a fraction of a ppm.
constexpr int64_t kCompensationSeconds = 100;
// Sub-frame resolution of the resampler's delay.
constexpr int64_t kDelayScale = 1024;

}  // namespace

DriftCompensator::DriftCompensator(int32_t rate, int16_t channels) : rate_(rate), channels_(channels) {
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  if (swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_S16, rate, &layout, AV_SAMPLE_FMT_S16, rate, 0,
                          nullptr) < 0 ||
      av_opt_set_int(swr_, "flags", SWR_FLAG_RESAMPLE, 0) < 0 || swr_init(swr_) < 0) {
    swr_free(&swr_);
    throw std::runtime_error("DriftCompensator: the resampler cannot be set up");
  }
  queue_.reserve(static_cast<size_t>(rate) * static_cast<size_t>(channels) * 2);
}

DriftCompensator::~DriftCompensator() { swr_free(&swr_); }

void DriftCompensator::Push(std::span<const int16_t> samples) {
  const auto frames = static_cast<int64_t>(samples.size()) / channels_;
  const int64_t late = std::min(owed_, frames);
  owed_ -= late;
  skipped_ += late;
  Compact();
  queue_.insert(queue_.end(), samples.begin() + late * channels_, samples.begin() + frames * channels_);
}

void DriftCompensator::PushSilence(int64_t frames) {
  const int64_t late = std::min(owed_, frames);
  owed_ -= late;
  skipped_ += late;
  Compact();
  queue_.resize(queue_.size() + static_cast<size_t>((frames - late) * channels_), 0);
}

void DriftCompensator::Pull(std::span<int16_t> out, double wantedEnd) {
  const auto frames = static_cast<int64_t>(out.size()) / channels_;
  const int64_t made = Resample(out.data(), frames);
  if (made < frames) {
    // The input for the rest is late: silence stands for it, and the late
    // frames are dropped when they come, as if consumed now.
    std::fill(out.begin() + made * channels_, out.begin() + frames * channels_, int16_t{0});
    shortfall_ += frames - made;
    owed_ += std::llround(static_cast<double>(frames - made) * (1.0 + correction_));
  }
  Steer(wantedEnd, frames);
}

double DriftCompensator::Position() const {
  const double delay = static_cast<double>(swr_get_delay(swr_, int64_t{rate_} * kDelayScale)) / kDelayScale;
  return static_cast<double>(fed_ + owed_ + skipped_) - delay;
}

int64_t DriftCompensator::Queued() const {
  return static_cast<int64_t>(queue_.size() - queueStart_) / channels_;
}

int64_t DriftCompensator::TakeShortfall() { return std::exchange(shortfall_, 0); }

void DriftCompensator::Steer(double wantedEnd, int64_t blockFrames) {
  constexpr double kTau = kTimeConstantSeconds;
  const double step = static_cast<double>(blockFrames) / rate_;
  // The wanted positions jitter with the capture times; smoothed, they move
  // the ratio less from block to block.
  offset_ += ((Position() - wantedEnd) / rate_ - offset_) * std::min(1.0, step / kSmoothingSeconds);
  // Positive offset: more of the second input consumed than its timing asks for.
  const double integral = integral_ + offset_ * step / (kTau * kTau);
  const double wanted = -(2.0 / kTau * offset_ + integral);
  correction_ = std::clamp(wanted, -kMaxCorrection, kMaxCorrection);
  // At the limit the integral stops growing, so it does not overshoot afterwards.
  if (correction_ == wanted) integral_ = integral;
  const int64_t distance = int64_t{rate_} * kCompensationSeconds;
  swr_set_compensation(swr_, static_cast<int>(std::llround(-correction_ * static_cast<double>(distance))),
                       static_cast<int>(distance));
}

int64_t DriftCompensator::Resample(int16_t* out, int64_t frames) {
  int64_t made = 0;
  while (made < frames) {
    const int64_t chunk = std::min(Queued(), kChunkFrames);
    const auto* in = reinterpret_cast<const uint8_t*>(queue_.data() + queueStart_);
    auto* to = reinterpret_cast<uint8_t*>(out + made * channels_);
    const int got = swr_convert(swr_, &to, static_cast<int>(frames - made), &in, static_cast<int>(chunk));
    if (got < 0) break;
    queueStart_ += static_cast<size_t>(chunk * channels_);
    fed_ += chunk;
    made += got;
    if (chunk == 0 && got == 0) break;
  }
  return made;
}

void DriftCompensator::Compact() {
  // Moves the unconsumed rest to the front once half the queue is consumed,
  // so the queue stays at its working size.
  if (queueStart_ == 0 || queueStart_ < queue_.size() / 2) return;
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueStart_));
  queueStart_ = 0;
}
