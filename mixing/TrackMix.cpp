#include "mixing/TrackMix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {
float Linear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }
}  // namespace

TrackMix::TrackMix(double firstGainDb, double secondGainDb)
    : firstGain_(Linear(firstGainDb)), secondGain_(Linear(secondGainDb)) {}

void TrackMix::Mix(std::span<const int16_t> first, std::span<const int16_t> second, std::span<int16_t> out) const {
  const size_t n = std::min({first.size(), second.size(), out.size()});
  for (size_t i = 0; i < n; ++i) {
    const float sum = std::round(first[i] * firstGain_ + second[i] * secondGain_);
    out[i] = static_cast<int16_t>(std::clamp(sum, -32768.0f, 32767.0f));
  }
}
