// TrimRange: the part of a take to keep, as sample frames [first, end) counted
// at `rate` Hz (the rate the take was recorded at; a file coded at another
// rate is cut at the same moments).
#pragma once

#include <cstdint>

struct TrimRange {
  int64_t first = 0;
  int64_t end = 0;
  int32_t rate = 0;

  // The same moment as a frame at `otherRate`, rounded to the nearest.
  static int64_t AtRate(int64_t frame, int32_t rate, int32_t otherRate) {
    if (rate <= 0 || rate == otherRate) return frame;
    return (frame * otherRate + rate / 2) / rate;
  }
  int64_t FirstAt(int32_t otherRate) const { return AtRate(first, rate, otherRate); }
  int64_t EndAt(int32_t otherRate) const { return AtRate(end, rate, otherRate); }
};
