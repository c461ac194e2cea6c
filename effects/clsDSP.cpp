// clsDSP: parameters, the update operations that precompute every coefficient and
// buffer, and the per-block effects (amplifier -> echo -> phase shifter -> equalizer).
#include "effects/clsDSP.h"

#include <algorithm>
#include <cmath>

#include "common/AppError.h"
#include "common/SampleMath.h"

namespace {

constexpr int32_t kErrInvalid = 32000;
constexpr int32_t kErrSubscript = 9;  // the language's "Subscript out of range"
constexpr int32_t kMaxSamplerate = 96000;
constexpr int32_t kMaxBands = 10;
constexpr int32_t kDefaultBands = 7;
constexpr float kMaxEchoAmp = 0.9f;
constexpr double kPi = 3.1415927f;   // single-precision pi of the sweep bounds
constexpr double kLowestBandHz = 80.0;  // centre of band 0, and of a single band

// Modes of the amplifier's gain value; ProcessSamples uses GAIN_DB.
enum GainMode : int32_t { GAIN_DB = 0, GAIN_PERCENT = 1, GAIN_FACTOR = 2 };

// Factor of the amplifier as Single: 10^(dB/20), percent / 100, or the factor itself.
float GainFactor(double value, int32_t mode) {
  switch (mode) {
    case GAIN_DB: return static_cast<float>(std::pow(10.0, value / 20.0));
    case GAIN_PERCENT: return static_cast<float>(value / 100.0);
    case GAIN_FACTOR: return static_cast<float>(value);
    default: return 0.0f;
  }
}

}  // namespace

clsDSP::clsDSP() : bandGains_(kDefaultBands, 0.0f), bandFilters_(kDefaultBands) { UpdateEcho(); }

clsDSP::~clsDSP() = default;

// --- rate and channels -------------------------------------------------------

int32_t clsDSP::samplerate() const { return samplerate_; }

void clsDSP::samplerate(int32_t lngSR) {
  if (lngSR < 1 || lngSR > kMaxSamplerate) throw AppError(kErrInvalid, "invalid samplerate");
  samplerate_ = lngSR;
  UpdateAll();
}

int16_t clsDSP::Channels() const { return channels_; }

void clsDSP::Channels(int16_t intCh) {
  if (intCh != 1 && intCh != 2) throw AppError(kErrInvalid, "invalid channels");
  channels_ = intCh;
  UpdateAll();
}

int32_t clsDSP::EffectsUsed() const { return effectsUsed_; }
void clsDSP::EffectsUsed(int32_t ude) { effectsUsed_ = ude; }

// --- echo and amplifier ------------------------------------------------------

int32_t clsDSP::EchoLength() const { return echoLength_; }

void clsDSP::EchoLength(int32_t lngMS) {
  echoLength_ = lngMS;
  UpdateEcho();
}

float clsDSP::EchoAmp() const { return echoAmp_; }

void clsDSP::EchoAmp(float sngAmp) {
  // Capped at 0.9 so the feedback always decays; a NaN is capped too.
  echoAmp_ = (sngAmp <= kMaxEchoAmp) ? sngAmp : kMaxEchoAmp;
  UpdateEcho();
}

int32_t clsDSP::AmplifyDB() const { return amplifyDB_; }
void clsDSP::AmplifyDB(int32_t lngVol) { amplifyDB_ = lngVol; }

// --- phase shifter -------------------------------------------------------------

float clsDSP::PhaseShiftWet() const { return phaseShiftWet_; }
void clsDSP::PhaseShiftWet(float sng) {
  phaseShiftWet_ = sng;
  UpdatePhaseShifter();
}
float clsDSP::PhaseShiftDry() const { return phaseShiftDry_; }
void clsDSP::PhaseShiftDry(float sng) {
  phaseShiftDry_ = sng;
  UpdatePhaseShifter();
}
float clsDSP::PhaseShiftFeedback() const { return phaseShiftFeedback_; }
void clsDSP::PhaseShiftFeedback(float sng) {
  phaseShiftFeedback_ = sng;
  UpdatePhaseShifter();
}
float clsDSP::PhaseShiftSweepRate() const { return phaseShiftSweepRate_; }
void clsDSP::PhaseShiftSweepRate(float sng) {
  phaseShiftSweepRate_ = sng;
  UpdatePhaseShifter();
}
float clsDSP::PhaseShiftSweepRange() const { return phaseShiftSweepRange_; }
void clsDSP::PhaseShiftSweepRange(float sng) {
  phaseShiftSweepRange_ = sng;
  UpdatePhaseShifter();
}
float clsDSP::PhaseShiftFrequency() const { return phaseShiftFrequency_; }
void clsDSP::PhaseShiftFrequency(float sng) {
  phaseShiftFrequency_ = sng;
  UpdatePhaseShifter();
}

// --- equalizer -------------------------------------------------------------------

void clsDSP::CheckBandIndex(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(bandFilters_.size())) {
    throw AppError(kErrSubscript, "Subscript out of range");
  }
}

int32_t clsDSP::EqualizerBandFrequency(int32_t Index) const {
  CheckBandIndex(Index);
  return RoundToInt32(bandFilters_[Index].Frequency());
}

float clsDSP::EqualizerBandGainDB(int32_t Index) const {
  CheckBandIndex(Index);
  return bandGains_[Index];
}

void clsDSP::EqualizerBandGainDB(int32_t Index, float gain_db) {
  CheckBandIndex(Index);
  bandGains_[Index] = gain_db;
  UpdateEqualizer();
}

int32_t clsDSP::EqualizerBands() const { return static_cast<int32_t>(bandFilters_.size()); }

void clsDSP::EqualizerBands(int32_t lngBands) {
  if (lngBands < 1 || lngBands > kMaxBands) throw AppError(kErrInvalid, "Out Of Bounds!");
  bandGains_.assign(lngBands, 0.0f);
  bandFilters_ = std::vector<IIRFilter>(lngBands);
  UpdateEqualizer();
}

// --- update operations -------------------------------------------------------------

void clsDSP::UpdateAll() {
  if (samplerate_ == 0 || channels_ == 0) return;
  UpdateEcho();
  UpdatePhaseShifter();
  UpdateEqualizer();
}

void clsDSP::UpdateEcho() {
  if (samplerate_ == 0) return;
  // L = rate/1000 * ms, half to even; at least one sample so the line is never empty
  // (0 ms or a negative length then echoes after one sample).
  const double length = RoundHalfEven(samplerate_ / 1000.0 * echoLength_);
  echoLine_.assign(length < 1.0 ? 1 : static_cast<std::size_t>(length), 0);
  echoAmpInUse_ = echoAmp_;
  echoPosition_ = 0;
}

void clsDSP::UpdatePhaseShifter() {
  if (samplerate_ == 0) return;
  const double fs = samplerate_;
  const double octaves = std::pow(2.0, double{phaseShiftSweepRange_});
  phaser_.sweep.Minimum = static_cast<float>(phaseShiftFrequency_ * kPi / fs);
  phaser_.sweep.Maximum = static_cast<float>(phaseShiftFrequency_ * kPi * octaves / fs);
  // One sweep from minimum to maximum takes fs / (2 * rate) samples.
  phaser_.sweep.Factor = static_cast<float>(std::pow(octaves, 2.0 * phaseShiftSweepRate_ / fs));
  phaser_.sweep.Step = phaser_.sweep.Factor;
  phaser_.sweep.Position = phaser_.sweep.Minimum;
}

void clsDSP::UpdateEqualizer() {
  if (samplerate_ == 0) return;
  // Bands spaced evenly on a log scale from 80 Hz to a third of the rate.
  const double top = RoundHalfEven(samplerate_ / 3.0);
  const float bandwidth = static_cast<float>(std::log(top / kLowestBandHz) / 4.0);
  const std::size_t count = bandFilters_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const float centre =
        count == 1 ? static_cast<float>(kLowestBandHz)
                   : static_cast<float>(kLowestBandHz * std::pow(top / kLowestBandHz, double(i) / double(count - 1)));
    bandFilters_[i].CreateBiquadIIR(IIR_PEAKING, bandGains_[i], centre, static_cast<float>(samplerate_), bandwidth);
  }
}

clsDSP::SweepState clsDSP::PhaseShiftSweep() const { return phaser_.sweep; }

std::size_t clsDSP::EchoDelaySamples() const { return echoLine_.size(); }

const IIRFilter& clsDSP::EqualizerBandFilter(int32_t Index) const {
  CheckBandIndex(Index);
  return bandFilters_[Index];
}

// --- processing --------------------------------------------------------------------

// Feedback echo with a delay of L samples: the output is the input plus the delay line,
// and the line keeps the output times the amplitude, so the repeats decay geometrically.
class clsDSP::EchoRun {
 public:
  explicit EchoRun(clsDSP& dsp)
      : dsp_(dsp), line_(dsp.echoLine_.data()), length_(dsp.echoLine_.size()), position_(dsp.echoPosition_),
        amp_(dsp.echoAmpInUse_) {}

  int16_t operator()(int16_t sample) {
    const int16_t out = ClipSample(static_cast<float>(int32_t{sample} + line_[position_]));
    // The stored echo saturates too (EchoAmp below -1 can leave the 16-bit range).
    line_[position_] = ClipSample(static_cast<float>(out) * amp_);
    if (++position_ == length_) position_ = 0;
    return out;
  }

  void Finish() { dsp_.echoPosition_ = position_; }

 private:
  clsDSP& dsp_;
  int16_t* line_;
  std::size_t length_;  // >= 1 once samplerate is set
  std::size_t position_;
  float amp_;
};

// Four first-order all-passes y[n] = c (x[n] + y[n-1]) - x[n-1] in series, stage 4 fed
// back into stage 1, mixed with the dry signal; c = (1 - w) / (1 + w) follows w, which
// sweeps exponentially between its bounds.
class clsDSP::PhaseShiftRun {
 public:
  explicit PhaseShiftRun(clsDSP& dsp)
      : dsp_(dsp), state_(dsp.phaser_), wet_(dsp.phaseShiftWet_), dry_(dsp.phaseShiftDry_),
        feedback_(dsp.phaseShiftFeedback_), stepDown_(1.0f / dsp.phaser_.sweep.Factor) {}

  int16_t operator()(int16_t sample) {
    PhaseShifterState& s = state_;
    SweepState& sweep = s.sweep;
    const float x = IIRFilter::SampleToUnit(sample);
    const float w = sweep.Position;
    const float c = (1.0f - w) / (1.0f + w);
    float stageIn = x + s.out[3] * feedback_;
    for (int k = 0; k < 4; ++k) {
      const float y = c * (stageIn + s.out[k]) - s.in[k];
      s.in[k] = stageIn;
      s.out[k] = y;
      stageIn = y;
    }
    const float mix = wet_ * stageIn + dry_ * x;
    // The coefficient of this sample is computed; move w, turning strictly beyond a bound.
    sweep.Position = w * sweep.Step;
    if (sweep.Position > sweep.Maximum) {
      sweep.Step = stepDown_;
    } else if (sweep.Position < sweep.Minimum) {
      sweep.Step = sweep.Factor;
    }
    return ClipSample(mix * IIRFilter::kScale16);
  }

  void Finish() { dsp_.phaser_ = state_; }

 private:
  clsDSP& dsp_;
  PhaseShifterState state_;
  const float wet_, dry_, feedback_;
  const float stepDown_;  // 1 / k
};

// Amplifier, echo and phase shifter run as one pass over the block, each taking a
// sample as soon as the stage before has finished it: every stage is causal with its
// own state, so the block comes out exactly as if each effect had run over the whole
// block in turn, and the cheap stages overlap the phase shifter's long recursion.
// The equalizer bands then run in series over the block.
void clsDSP::ProcessSamples(std::span<int16_t> intSamples) {
  if (samplerate_ == 0 || channels_ == 0) return;
  const bool amplify = (effectsUsed_ & FX_AMPLIFY) != 0;
  const bool echo = (effectsUsed_ & FX_ECHO) != 0;
  const bool phaseShift = (effectsUsed_ & FX_PHASESHIFT) != 0;

  if (amplify || echo || phaseShift) {
    const float gain = GainFactor(amplifyDB_, GAIN_DB);  // once per block
    EchoRun echoRun(*this);
    PhaseShiftRun phaseShiftRun(*this);
    for (int16_t& sample : intSamples) {
      int16_t value = sample;
      if (amplify) value = ClipSample(static_cast<float>(value) * gain);
      if (echo) value = echoRun(value);
      if (phaseShift) value = phaseShiftRun(value);
      sample = value;
    }
    echoRun.Finish();
    phaseShiftRun.Finish();
  }
  if (effectsUsed_ & FX_EQUALIZER) IIRFilter::ProcessCascade_16bit(bandFilters_, intSamples);
}

EffectSettings clsDSP::Settings() const {
  EffectSettings settings;
  settings.effectsUsed = effectsUsed_;
  settings.echoLength = echoLength_;
  settings.echoAmp = echoAmp_;
  settings.amplifyDB = amplifyDB_;
  settings.phaseShiftWet = phaseShiftWet_;
  settings.phaseShiftDry = phaseShiftDry_;
  settings.phaseShiftFeedback = phaseShiftFeedback_;
  settings.phaseShiftSweepRate = phaseShiftSweepRate_;
  settings.phaseShiftSweepRange = phaseShiftSweepRange_;
  settings.phaseShiftFrequency = phaseShiftFrequency_;
  settings.bandGainsDB = bandGains_;
  return settings;
}

void clsDSP::Apply(const EffectSettings& settings) {
  // Each writer runs only for a value that differs: most rebuild state.
  const auto set = [this](auto current, auto wanted, void (clsDSP::*write)(decltype(wanted))) {
    if (current != wanted) (this->*write)(wanted);
  };
  set(effectsUsed_, settings.effectsUsed, &clsDSP::EffectsUsed);
  set(echoLength_, settings.echoLength, &clsDSP::EchoLength);
  set(echoAmp_, settings.echoAmp, &clsDSP::EchoAmp);
  set(amplifyDB_, settings.amplifyDB, &clsDSP::AmplifyDB);
  set(phaseShiftWet_, settings.phaseShiftWet, &clsDSP::PhaseShiftWet);
  set(phaseShiftDry_, settings.phaseShiftDry, &clsDSP::PhaseShiftDry);
  set(phaseShiftFeedback_, settings.phaseShiftFeedback, &clsDSP::PhaseShiftFeedback);
  set(phaseShiftSweepRate_, settings.phaseShiftSweepRate, &clsDSP::PhaseShiftSweepRate);
  set(phaseShiftSweepRange_, settings.phaseShiftSweepRange, &clsDSP::PhaseShiftSweepRange);
  set(phaseShiftFrequency_, settings.phaseShiftFrequency, &clsDSP::PhaseShiftFrequency);
  const auto bands = static_cast<int32_t>(settings.bandGainsDB.size());
  if (bands != EqualizerBands() && bands >= 1) EqualizerBands(bands);
  for (int32_t i = 0; i < std::min(bands, EqualizerBands()); ++i) {
    if (bandGains_[static_cast<size_t>(i)] != settings.bandGainsDB[static_cast<size_t>(i)]) {
      EqualizerBandGainDB(i, settings.bandGainsDB[static_cast<size_t>(i)]);
    }
  }
}
