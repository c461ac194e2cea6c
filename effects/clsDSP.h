// clsDSP: the live effects chain applied in place to each captured sample block.
//
// Signal flow (each stage only when its bit is set in EffectsUsed):
//   block -> amplifier (AmplifyDB) -> feedback echo (EchoLength ms, EchoAmp)
//         -> 4-stage swept all-pass phase shifter -> N peaking EQ bands in series -> block
// A stereo block is one interleaved stream with one set of state; delays and sweep
// steps count samples, not frames. Inert until samplerate and Channels are both set.
// One thread at a time (the recording thread runs the chain; the window keeps
// a chain of its own as the settings' model and hands them over with Apply).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "effects/EffectSettings.h"
#include "effects/IIRFilter.h"

// Bits of clsDSP::EffectsUsed.
enum EffectsUsedBits : int32_t {
  FX_ECHO = 1,
  FX_PHASESHIFT = 2,
  FX_AMPLIFY = 4,
  FX_EQUALIZER = 8,
};

class clsDSP {
 public:
  clsDSP();
  ~clsDSP();
  clsDSP(const clsDSP&) = delete;
  clsDSP& operator=(const clsDSP&) = delete;

  // Hz, 1..96000; anything else throws AppError(32000, "invalid samplerate").
  int32_t samplerate() const;
  void samplerate(int32_t lngSR);
  // 1 or 2; anything else throws AppError(32000, "invalid channels").
  int16_t Channels() const;
  void Channels(int16_t intCh);

  int32_t EffectsUsed() const;
  void EffectsUsed(int32_t ude);

  int32_t EchoLength() const;  // milliseconds
  void EchoLength(int32_t lngMS);
  float EchoAmp() const;  // feedback amplitude, stored at most 0.9
  void EchoAmp(float sngAmp);
  int32_t AmplifyDB() const;  // dB
  void AmplifyDB(int32_t lngVol);

  float PhaseShiftWet() const;
  void PhaseShiftWet(float sng);
  float PhaseShiftDry() const;
  void PhaseShiftDry(float sng);
  float PhaseShiftFeedback() const;
  void PhaseShiftFeedback(float sng);
  float PhaseShiftSweepRate() const;  // Hz
  void PhaseShiftSweepRate(float sng);
  float PhaseShiftSweepRange() const;  // octaves
  void PhaseShiftSweepRange(float sng);
  float PhaseShiftFrequency() const;  // Hz, lower end of the sweep
  void PhaseShiftFrequency(float sng);

  // Centre of band Index (0-based) in Hz, rounded half to even.
  int32_t EqualizerBandFrequency(int32_t Index) const;
  float EqualizerBandGainDB(int32_t Index) const;  // dB
  void EqualizerBandGainDB(int32_t Index, float gain_db);
  // 1..10; anything else throws AppError(32000, "Out Of Bounds!").
  int32_t EqualizerBands() const;
  void EqualizerBands(int32_t lngBands);

  // Every parameter but samplerate and Channels, as one value.
  EffectSettings Settings() const;
  // Takes over `settings`: only what differs is set, so an unchanged echo or
  // sweep keeps running undisturbed. Configuration, not for the block loop.
  void Apply(const EffectSettings& settings);

  // Applies the enabled effects in place. No allocation, locking or logging.
  void ProcessSamples(std::span<int16_t> intSamples);

  // Read-only views of derived state, for diagnostics, tests and drawing.
  // Phase shifter sweep: w runs between Minimum and Maximum, multiplied per sample by
  // Step (Factor going up, 1/Factor going down). All 0 until samplerate is set.
  struct SweepState {
    float Minimum = 0;
    float Maximum = 0;
    float Position = 0;
    float Factor = 0;
    float Step = 0;
  };
  SweepState PhaseShiftSweep() const;
  // Length of the echo delay line in samples (0 until samplerate is set, then >= 1).
  std::size_t EchoDelaySamples() const;
  // The peaking filter of band Index.
  const IIRFilter& EqualizerBandFilter(int32_t Index) const;

 private:
  // Swept four-stage all-pass: stage memories and the sweep of w (see PhaseShiftRun).
  struct PhaseShifterState {
    float in[4] = {0, 0, 0, 0};   // previous input of stages 1..4
    float out[4] = {0, 0, 0, 0};  // previous output of stages 1..4; out[3] is fed back
    SweepState sweep;
  };

  // Rebuild what depends on the parameters; each returns at once while samplerate is 0.
  void UpdateAll();
  void UpdateEcho();
  void UpdatePhaseShifter();
  void UpdateEqualizer();
  void CheckBandIndex(int32_t Index) const;

  // Per-block runners of the echo and the phase shifter: copy the state into locals,
  // process one sample per call, write the state back in Finish() (see clsDSP.cpp).
  class EchoRun;
  class PhaseShiftRun;

  int32_t samplerate_ = 0;  // 0 = not set
  int16_t channels_ = 0;    // 0 = not set
  int32_t effectsUsed_ = 0;

  // Echo: circular delay line of already scaled echo values, L samples long (L >= 1).
  std::vector<int16_t> echoLine_;
  std::size_t echoPosition_ = 0;
  float echoAmpInUse_ = 0;  // EchoAmp as it was when the line was built
  int32_t echoLength_ = 100;
  float echoAmp_ = 0.4f;

  int32_t amplifyDB_ = 3;

  PhaseShifterState phaser_;
  float phaseShiftWet_ = 1.0f;
  float phaseShiftDry_ = 1.0f;
  float phaseShiftFeedback_ = 0.5f;
  float phaseShiftSweepRate_ = 1.0f;
  float phaseShiftSweepRange_ = 4.0f;
  float phaseShiftFrequency_ = 100.0f;

  // One gain (dB) and one peaking filter per equalizer band.
  std::vector<float> bandGains_;
  std::vector<IIRFilter> bandFilters_;
};
