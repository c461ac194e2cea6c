#include "metering/TruePeakDetector.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

// The filter: a 49-tap sinc cut off at the input's Nyquist frequency under a
// Hann window, split into `factor` phases (12 taps each at 4x, 24 at 2x; the
// phase on the input's own instants is the input itself). Coefficients are
// summed in double and each output is rounded to float: the design and the
// arithmetic libebur128 used for us before, so the true peak a recording's
// tags carry stays the same to the last bit.
constexpr int kTaps = 49;
constexpr double kNegligible = 1e-6;  // coefficients at the sinc's zeros
// Rounding (double sums, then float) may lift an output above its exact bound
// by far less than this.
constexpr double kRoundingMargin = 1.0 + 1e-6;
constexpr double kFullScale = 32768.0;

int32_t OversamplingFactor(int32_t rate) { return rate < 96000 ? 4 : rate < 192000 ? 2 : 1; }

double WindowedSinc(int tap, int32_t factor) {
  const double m = tap - (kTaps - 1) / 2.0;
  const double x = m * std::numbers::pi / factor;
  const double sinc = std::fabs(m) > kNegligible ? std::sin(x) / x : 1.0;
  return sinc * 0.5 * (1 - std::cos(2 * std::numbers::pi * tap / (kTaps - 1)));
}

}  // namespace

bool TruePeakDetector::Begin(int32_t rate, int16_t channels, double blockLimit) {
  channels_.clear();
  phases_.clear();
  peak_ = 0;
  filteredSamples_ = 0;
  if (rate <= 0 || channels <= 0) return false;
  blockLimit_ = blockLimit;
  DesignPhases(OversamplingFactor(rate));
  channels_.assign(static_cast<size_t>(channels), Channel{std::vector<double>(history_ + kChunk), false});
  return true;
}

void TruePeakDetector::DesignPhases(int32_t factor) {
  history_ = 0;
  maxGain_ = 1.0;  // the samples themselves
  if (factor == 1) return;  // the true peak is the sample peak
  phases_.resize(static_cast<size_t>(factor));
  for (int tap = 0; tap < kTaps; ++tap) {
    const double coefficient = WindowedSinc(tap, factor);
    if (std::fabs(coefficient) <= kNegligible) continue;
    Phase& phase = phases_[static_cast<size_t>(tap % factor)];
    phase.coefficients.push_back(coefficient);
    phase.lags.push_back(static_cast<size_t>(tap / factor));
    phase.gain += std::fabs(coefficient);
    history_ = std::max(history_, phase.lags.back());
  }
  for (const Phase& phase : phases_) maxGain_ = std::max(maxGain_, phase.gain);
}

void TruePeakDetector::Add(std::span<const int16_t> samples) {
  if (channels_.empty()) return;
  const size_t frames = samples.size() / channels_.size();
  for (size_t channel = 0; channel < channels_.size(); ++channel) {
    AddChannel(samples, frames, static_cast<int16_t>(channel));
  }
}

bool TruePeakDetector::BlockExceeds(int16_t channel) const {
  return channel >= 0 && static_cast<size_t>(channel) < channels_.size() &&
         channels_[static_cast<size_t>(channel)].exceeds;
}

void TruePeakDetector::AddChannel(std::span<const int16_t> samples, size_t frames, int16_t channel) {
  Channel& state = channels_[static_cast<size_t>(channel)];
  state.exceeds = false;
  const size_t step = channels_.size();
  for (size_t first = 0; first < frames; first += kChunk) {
    const size_t count = std::min(kChunk, frames - first);
    double* chunk = state.inputs.data() + history_;
    int32_t peak = 0;
    for (size_t i = 0; i < count; ++i) {
      const int16_t sample = samples[(first + i) * step + static_cast<size_t>(channel)];
      peak = std::max(peak, std::abs(int32_t{sample}));
      chunk[i] = sample / kFullScale;
    }
    AddChunk(state, count, peak / kFullScale);
  }
}

void TruePeakDetector::AddChunk(Channel& channel, size_t frames, double samplePeak) {
  Note(channel, samplePeak);
  // Every output of the chunk reads only the history and the chunk.
  const auto chunk = channel.inputs.begin() + static_cast<ptrdiff_t>(history_);
  const double historyPeak =
      std::accumulate(channel.inputs.begin(), chunk, 0.0, [](double a, double b) { return std::max(a, std::fabs(b)); });
  if (!phases_.empty() && Matters(channel, std::max(historyPeak, samplePeak))) {
    Note(channel, FilteredPeak(channel.inputs, frames));
    filteredSamples_ += static_cast<int64_t>(frames);
  }
  const auto end = chunk + static_cast<ptrdiff_t>(frames);
  std::copy(end - static_cast<ptrdiff_t>(history_), end, channel.inputs.begin());
}

// The chunk's outputs matter if they might exceed the peak so far, or the
// limit while the block has not exceeded it: skipped only when both are ruled
// out, so against the smaller of the two.
bool TruePeakDetector::Matters(const Channel& channel, double inputPeak) const {
  if (skipping_ == Skipping::Never) return true;
  const double bound = inputPeak * maxGain_ * kRoundingMargin;
  return bound > (channel.exceeds ? peak_ : std::min(peak_, blockLimit_));
}

double TruePeakDetector::FilteredPeak(const std::vector<double>& inputs, size_t frames) const {
  // Fixed-length loops over contiguous inputs, which the compiler vectorises:
  // taps outside, outputs inside (each output still summed in tap order), and
  // the peak taken output by output, one reduction per chunk.
  std::array<float, kChunk> peaks{};
  for (const Phase& phase : phases_) {
    std::array<double, kChunk> sums{};
    for (size_t tap = 0; tap < phase.coefficients.size(); ++tap) {
      const double coefficient = phase.coefficients[tap];
      const double* in = inputs.data() + history_ - phase.lags[tap];
      for (size_t i = 0; i < kChunk; ++i) sums[i] += coefficient * in[i];
    }
    for (size_t i = 0; i < kChunk; ++i) peaks[i] = std::max(peaks[i], std::fabs(static_cast<float>(sums[i])));
  }
  return *std::max_element(peaks.begin(), peaks.begin() + static_cast<ptrdiff_t>(frames));
}

void TruePeakDetector::Note(Channel& channel, double peak) {
  peak_ = std::max(peak_, peak);
  channel.exceeds = channel.exceeds || peak > blockLimit_;
}
