// LoudnessMeter: EBU R128 loudness of the samples a recording writes, on
// libebur128, and their true peak on TruePeakDetector. Fed on the recording thread block by block; the live values are
// refreshed every 100 ms of audio (momentary) and every 500 ms (short-term,
// integrated, range, true peak), not per block, which keeps a block's cost to
// the filters. The histogram mode bounds memory and the integrated value's
// cost for recordings of any length.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "metering/LoudnessReading.h"
#include "metering/TruePeakDetector.h"

class LoudnessMeter {
 public:
  LoudnessMeter();
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // A new measurement; false (and nothing measured) when the library refuses the format.
  bool Begin(int32_t rate, int16_t channels);
  // Interleaved frames; a trailing part frame is left out.
  void Add(std::span<const int16_t> samples);
  // Whether the last Add's true peak in `channel` exceeded ClipCounter::kTruePeakLimit.
  bool BlockTruePeakOverLimit(int16_t channel) const { return truePeak_.BlockExceeds(channel); }
  // The values as last refreshed.
  const LoudnessReading& Live() const { return live_; }
  // Everything measured so far, brought up to date.
  LoudnessReading Final();

 private:
  struct State;
  void RefreshMomentary();
  void RefreshSlowValues();

  std::unique_ptr<State> state_;
  TruePeakDetector truePeak_;
  int16_t channels_ = 0;
  int64_t framesPer100Ms_ = 0;
  int64_t framesSinceMomentary_ = 0;
  int64_t momentariesSinceSlow_ = 0;
  LoudnessReading live_;
};
