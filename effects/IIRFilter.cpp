// IIRFilter: cookbook biquad design and the in-place block filters.
#include "effects/IIRFilter.h"

#include <cmath>

#include "common/SampleMath.h"
#include "effects/BandWavefront.h"

namespace {

// Single-precision constants of the design, widened exactly to double.
constexpr double kTwoPi = 6.2831855f;
constexpr double kHalfLn2 = 0.6931472f / 2.0f;  // 0.3465736, ln 2 / 2 for the octave bandwidth

constexpr float kScale8 = 127.0f;

bool AllFinite(const IIRFilter::Coefficients& c) {
  return std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) && std::isfinite(c.a1) &&
         std::isfinite(c.a2);
}

inline uint8_t ToSample8(float y) {
  if (y > 1.0f) return 255;
  if (y >= -1.0f) return static_cast<uint8_t>(std::nearbyintf(y * kScale8 + 128.0f));
  return 0;
}

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
  for (int16_t& sample : intSamples) sample = Filter16(c, m, sample);
  memories_ = m;
}

void IIRFilter::ProcessSamples_8bit(std::span<uint8_t> btSamples) {
  if (!enabled_) return;
  const Coefficients c = coefficients_;
  Memories m = memories_;
  for (uint8_t& sample : btSamples) {
    const float x = static_cast<float>(static_cast<int32_t>(sample) - 128) / kScale8;
    sample = ToSample8(Step(c, m.x1, m.x2, m.y1, m.y2, x));
  }
  memories_ = m;
}

void IIRFilter::ProcessCascade_16bit(std::span<IIRFilter> bands, std::span<int16_t> intSamples) {
  BandWavefront::Run(bands, intSamples);
}
