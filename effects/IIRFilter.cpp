// IIRFilter: cookbook biquad design and the in-place block filters.
#include "effects/IIRFilter.h"

#include <array>
#include <cmath>

#include "common/SampleMath.h"

namespace {

// Single-precision constants of the design, widened exactly to double.
constexpr double kTwoPi = 6.2831855f;
constexpr double kHalfLn2 = 0.6931472f / 2.0f;  // 0.3465736, ln 2 / 2 for the octave bandwidth

constexpr float kScale16 = 32767.0f;
constexpr float kScale8 = 127.0f;

// Bands kept in locals by the cascade; the equalizer uses at most 10.
constexpr std::size_t kMaxCascade = 16;

bool AllFinite(const IIRFilter::Coefficients& c) {
  return std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) && std::isfinite(c.a1) &&
         std::isfinite(c.a2);
}

// One direct-form-I step; y is stored as Single.
inline float Step(const IIRFilter::Coefficients& c, IIRFilter::Memories& m, float x) {
  const float y = c.b0 * x + c.b1 * m.x1 + c.b2 * m.x2 - c.a1 * m.y1 - c.a2 * m.y2;
  m.x2 = m.x1;
  m.x1 = x;
  m.y2 = m.y1;
  m.y1 = y;
  return y;
}

// Output beyond +-1 saturates; written so that a NaN (unstable filter) saturates low
// instead of reaching an undefined float-to-integer conversion.
inline int16_t ToSample16(float y) {
  if (y > 1.0f) return 32767;
  if (y >= -1.0f) return ClipSample(y * kScale16);
  return -32768;
}

inline uint8_t ToSample8(float y) {
  if (y > 1.0f) return 255;
  if (y >= -1.0f) return static_cast<uint8_t>(std::nearbyintf(y * kScale8 + 128.0f));
  return 0;
}

inline float FromSample16(int16_t s) { return static_cast<float>(s) / kScale16; }

}  // namespace

std::optional<IIRFilter::Coefficients> IIRFilter::Design(int32_t IIRType, float dBGain, float freq, float srate,
                                                        float bw) {
  if (IIRType < IIR_LOWPASS || IIRType > IIR_PEAKING) return std::nullopt;

  const float A = static_cast<float>(std::pow(10.0, dBGain / 40.0));
  const double omega = freq * kTwoPi / srate;
  const float sn = static_cast<float>(std::sin(omega));
  const float cs = static_cast<float>(std::cos(omega));
  // alpha = sin(w) * sinh(ln2/2 * BW * w / sin(w))
  const float sinhArg = static_cast<float>(kHalfLn2 * bw * omega / sn);
  const float sinhValue = static_cast<float>((std::exp(double{sinhArg}) - std::exp(-double{sinhArg})) / 2.0);
  const float alpha = sn * sinhValue;

  double b0 = 0, b1 = 0, b2 = 0, a0 = 1 + double{alpha}, a1 = -2.0 * cs, a2 = 1 - double{alpha};
  switch (IIRType) {
    case IIR_LOWPASS:  // H(s) = 1 / (s^2 + s/Q + 1)
      b0 = (1 - double{cs}) / 2;
      b1 = 1 - double{cs};
      b2 = b0;
      break;
    case IIR_HIGHPASS:  // H(s) = s^2 / (s^2 + s/Q + 1)
      b0 = (1 + double{cs}) / 2;
      b1 = -(1 + double{cs});
      b2 = b0;
      break;
    case IIR_BANDPASS:  // H(s) = (s/Q) / (s^2 + s/Q + 1)
      b0 = alpha;
      b1 = 0;
      b2 = -double{alpha};
      break;
    case IIR_PEAKING:  // H(s) = (s^2 + s*A/Q + 1) / (s^2 + s/(A*Q) + 1)
      b0 = 1 + double{alpha} * A;
      b1 = -2.0 * cs;
      b2 = 1 - double{alpha} * A;
      a0 = 1 + double{alpha} / A;
      a2 = 1 - double{alpha} / A;
      break;
  }
  const Coefficients c{static_cast<float>(b0 / a0), static_cast<float>(b1 / a0), static_cast<float>(b2 / a0),
                       static_cast<float>(a1 / a0), static_cast<float>(a2 / a0)};
  if (!AllFinite(c)) return std::nullopt;
  return c;
}

void IIRFilter::CreateBiquadIIR(int32_t IIRType, float dBGain, float freq, float srate, float bw) {
  const std::optional<Coefficients> designed = Design(IIRType, dBGain, freq, srate, bw);
  if (!designed) return;  // no meaningful filter: keep the previous one running
  samplerate_ = RoundToInt32(srate);
  bandwidth_ = bw;
  gainDB_ = dBGain;
  frequency_ = freq;
  iirType_ = IIRType;
  memories_ = Memories{};
  coefficients_ = *designed;
}

void IIRFilter::Recalculate() {
  if (samplerate_ > 0) {
    CreateBiquadIIR(iirType_, gainDB_, frequency_, static_cast<float>(samplerate_), bandwidth_);
  }
}

void IIRFilter::Bandwidth(float sngVal) {
  bandwidth_ = sngVal;
  Recalculate();
}

void IIRFilter::GainDB(float sngVal) {
  gainDB_ = sngVal;
  Recalculate();
}

void IIRFilter::Frequency(float sngVal) {
  frequency_ = sngVal;
  Recalculate();
}

void IIRFilter::samplerate(int32_t lngVal) {
  samplerate_ = lngVal;
  Recalculate();
}

void IIRFilter::ProcessSamples_16bit(std::span<int16_t> intSamples) {
  if (!enabled_) return;
  const Coefficients c = coefficients_;
  Memories m = memories_;
  for (int16_t& sample : intSamples) sample = ToSample16(Step(c, m, FromSample16(sample)));
  memories_ = m;
}

void IIRFilter::ProcessSamples_8bit(std::span<uint8_t> btSamples) {
  if (!enabled_) return;
  const Coefficients c = coefficients_;
  Memories m = memories_;
  for (uint8_t& sample : btSamples) {
    const float x = static_cast<float>(static_cast<int32_t>(sample) - 128) / kScale8;
    sample = ToSample8(Step(c, m, x));
  }
  memories_ = m;
}

void IIRFilter::ProcessCascade_16bit(std::span<IIRFilter> bands, std::span<int16_t> intSamples) {
  if (bands.size() > kMaxCascade) {
    for (IIRFilter& band : bands) band.ProcessSamples_16bit(intSamples);
    return;
  }
  std::array<Coefficients, kMaxCascade> c;
  std::array<Memories, kMaxCascade> m;
  std::array<IIRFilter*, kMaxCascade> owner;
  std::size_t n = 0;
  for (IIRFilter& band : bands) {
    if (!band.enabled_) continue;
    c[n] = band.coefficients_;
    m[n] = band.memories_;
    owner[n] = &band;
    ++n;
  }
  for (int16_t& sample : intSamples) {
    int16_t value = sample;
    // Each band's output is a 16-bit sample again before the next band reads it.
    for (std::size_t k = 0; k < n; ++k) value = ToSample16(Step(c[k], m[k], FromSample16(value)));
    sample = value;
  }
  for (std::size_t k = 0; k < n; ++k) owner[k]->memories_ = m[k];
}
