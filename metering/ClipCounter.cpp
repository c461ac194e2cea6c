#include "metering/ClipCounter.h"

#include <algorithm>

void ClipCounter::Begin(int16_t channels) {
  channels_ = std::clamp<int16_t>(channels, 1, kChannels);
  clips_ = {};
  clipping_ = {};
}

void ClipCounter::Add(std::span<const int16_t> samples, const std::function<bool(int16_t)>& truePeakOverLimit) {
  const auto step = static_cast<size_t>(channels_);
  for (int16_t channel = 0; channel < channels_; ++channel) {
    const bool clips = ReachesFullScale(samples, static_cast<size_t>(channel), step) ||
                       truePeakOverLimit(channel);
    if (clips && !clipping_[channel]) ++clips_[channel];
    clipping_[channel] = clips;
  }
}

int64_t ClipCounter::Clips(int channel) const {
  if (channel < 0 || channel >= kChannels) return 0;
  return clips_[channels_ == 1 ? 0 : channel];
}

bool ClipCounter::ReachesFullScale(std::span<const int16_t> samples, size_t first, size_t step) {
  for (size_t i = first; i < samples.size(); i += step) {
    if (samples[i] == INT16_MAX || samples[i] == INT16_MIN) return true;
  }
  return false;
}
