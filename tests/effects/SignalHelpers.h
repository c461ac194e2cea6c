// Test signals and measurements shared by the effects tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "effects/IIRFilter.h"

namespace effects_test {

// amplitude * sin(2 pi f n / fs), rounded half to even.
inline std::vector<int16_t> Sine(double amplitude, double freq, double srate, std::size_t count) {
  std::vector<int16_t> out(count);
  for (std::size_t n = 0; n < count; ++n) {
    out[n] = static_cast<int16_t>(std::nearbyint(amplitude * std::sin(2 * std::numbers::pi * freq * n / srate)));
  }
  return out;
}

// Amplitude of the component at `freq` in samples[from..], by least-squares
// projection on sin and cos over the rest of the block.
inline double AmplitudeAt(std::span<const int16_t> samples, double freq, double srate, std::size_t from) {
  double s = 0, c = 0;
  const std::size_t count = samples.size() - from;
  for (std::size_t n = from; n < samples.size(); ++n) {
    const double phase = 2 * std::numbers::pi * freq * n / srate;
    s += samples[n] * std::sin(phase);
    c += samples[n] * std::cos(phase);
  }
  return 2 * std::hypot(s, c) / count;
}

// |H(e^jw)| of a biquad at `freq`, from its coefficients.
inline double DesignGainAt(const IIRFilter::Coefficients& k, double freq, double srate) {
  const double w = 2 * std::numbers::pi * freq / srate;
  const double nr = k.b0 + k.b1 * std::cos(w) + k.b2 * std::cos(2 * w);
  const double ni = -k.b1 * std::sin(w) - k.b2 * std::sin(2 * w);
  const double dr = 1 + k.a1 * std::cos(w) + k.a2 * std::cos(2 * w);
  const double di = -k.a1 * std::sin(w) - k.a2 * std::sin(2 * w);
  return std::hypot(nr, ni) / std::hypot(dr, di);
}

inline double ToDB(double ratio) { return 20 * std::log10(ratio); }

}  // namespace effects_test
