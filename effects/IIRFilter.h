// IIRFilter: one second-order recursive filter (biquad, direct form I) with the
// classic cookbook designs: low-pass, high-pass, band-pass (0 dB peak) and
// peaking EQ, bandwidth in octaves. Filters blocks in place, signed 16-bit or
// unsigned 8-bit; a block is one sequence in buffer order (interleaved stereo
// included) and the memories carry over from block to block.
//
// Arithmetic is single precision at every stored step so that results are
// reproducible sample for sample. Samples are scaled to +-1 (16-bit: /32767,
// 8-bit: (byte-128)/127); outputs beyond +-1 saturate at the sample limits.
// One thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/SampleMath.h"

// Values of IIRFilter::IIRType.
enum IIRTypes : int32_t {
  IIR_LOWPASS = 0,
  IIR_HIGHPASS = 1,
  IIR_BANDPASS = 2,  // constant 0 dB peak gain
  IIR_PEAKING = 3,   // boost or cut of GainDB around Frequency
};

class IIRFilter {
 public:
  // Coefficients already divided by a0:
  // y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
  struct Coefficients {
    float b0 = 0, b1 = 0, b2 = 0;
    float a1 = 0, a2 = 0;
  };

  // The previous two inputs and outputs, scaled to +-1.
  struct Memories {
    float x1 = 0, x2 = 0;
    float y1 = 0, y2 = 0;
  };

  // Pure design step of CreateBiquadIIR. No value for a type outside 0..3 or for
  // settings that give non-finite coefficients (sample rate 0, frequency 0 ...).
  static std::optional<Coefficients> Design(int32_t IIRType, float dBGain, float freq, float srate, float bw);

  // False: the processing methods leave blocks and memories unchanged.
  bool Enabled() const { return enabled_; }
  void Enabled(bool blnVal) { enabled_ = blnVal; }

  // Writes store the value and recompute (clearing the memories) once samplerate > 0.
  float Bandwidth() const { return bandwidth_; }  // octaves
  void Bandwidth(float sngVal);
  int32_t IIRType() const { return iirType_; }  // set only through CreateBiquadIIR
  float GainDB() const { return gainDB_; }  // dB, used by IIR_PEAKING
  void GainDB(float sngVal);
  float Frequency() const { return frequency_; }  // Hz, corner or centre
  void Frequency(float sngVal);
  int32_t samplerate() const { return samplerate_; }  // Hz; 0 = not configured
  void samplerate(int32_t lngVal);

  // In place; no allocation. 8-bit and 16-bit share the same memories.
  void ProcessSamples_8bit(std::span<uint8_t> btSamples);
  void ProcessSamples_16bit(std::span<int16_t> intSamples);

  // Runs the enabled filters of `bands` in series over the block with exactly the
  // result of ProcessSamples_16bit on each band in turn, but several bands at once
  // (see BandWavefront). No allocation.
  static void ProcessCascade_16bit(std::span<IIRFilter> bands, std::span<int16_t> intSamples);

  // Stores all five settings (rate rounded half to even), computes the
  // coefficients and clears the memories. A type outside 0..3, or settings with
  // no finite design, leave the filter exactly as it was.
  void CreateBiquadIIR(int32_t IIRType, float dBGain, float freq, float srate, float bw);

  const Coefficients& coefficients() const { return coefficients_; }
  const Memories& memories() const { return memories_; }

  // One 16-bit sample through a filter: scale to +-1, one direct-form-I step (y stored
  // as Single), saturate beyond +-1, round half to even.
  static int16_t Filter16(const Coefficients& c, Memories& m, int16_t sample) {
    return ToSample16(Step(c, m.x1, m.x2, m.y1, m.y2, SampleToUnit(sample)));
  }

  static constexpr float kScale16 = 32767.0f;

  // sample / 32767 as Single, without a division: the double product is within 2^-52
  // of the quotient, and no quotient of a 16-bit integer by 32767 lies that close to
  // a point halfway between two floats, so rounding it to float gives exactly the
  // correctly rounded Single quotient.
  static float SampleToUnit(int16_t sample) { return static_cast<float>(sample * (1.0 / 32767.0)); }

 private:
  friend class BandWavefront;  // writes the memories back after a block

  // y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2], y stored as Single.
  static float Step(const Coefficients& c, float& x1, float& x2, float& y1, float& y2, float x) {
    const float y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  static int16_t ToSample16(float y) {
    if (y > 1.0f) return 32767;
    if (y >= -1.0f) return ClipSample(y * kScale16);
    return -32768;  // below -1, or NaN from an unstable design
  }

  void Recalculate();

  Coefficients coefficients_;  // all 0 until configured: every sample becomes 0
  Memories memories_;
  int32_t samplerate_ = 0;
  int32_t iirType_ = IIR_LOWPASS;
  float gainDB_ = 0;
  float frequency_ = 0;
  float bandwidth_ = 0;
  bool enabled_ = true;
};

