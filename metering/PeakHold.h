// PeakHold: the peak-hold mark of a level bar. The mark jumps up with the
// level, stays 1.5 s after its last rise and then falls back to the level.
// Levels are the bar's fractions (0..1); times in milliseconds of any clock.
#pragma once

#include <cstdint>

class PeakHold {
 public:
  static constexpr int64_t kHoldMs = 1500;

  // The mark after a reading of `level` at `nowMs`.
  float Update(float level, int64_t nowMs);
  float Held() const { return held_; }
  void Reset() { held_ = 0; }

 private:
  float held_ = 0;
  int64_t heldSinceMs_ = 0;
};
