// clsDSP: the live effects chain applied in place to each captured sample block.
//
// Signal flow (each stage only when its bit is set in EffectsUsed):
//   block -> amplifier (AmplifyDB) -> feedback echo (EchoLength ms, EchoAmp)
//         -> 4-stage swept all-pass phase shifter -> N peaking EQ bands in series -> block
// A stereo block is one interleaved stream with one set of state; delays and sweep
// steps count samples, not frames. Inert until samplerate and Channels are both set.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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

  // Applies the enabled effects in place. No allocation, locking or logging.
  void ProcessSamples(std::span<int16_t> intSamples);

 private:
  // Implementation state: see clsDSP.cpp.
};
