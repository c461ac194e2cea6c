// clsSmooth: moving average of the last `size` level readings, so the level bars
// do not flicker. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

class clsSmooth {
 public:
  void SmoothNew(int32_t size);     // restart with a history of `size` (>= 1) readings
  void SmoothAdd(float sample);     // one reading
  // The mean of the readings held, not their maximum: the name is the one the
  // level bars have always called. 0 before the first reading.
  float SmoothGetMax() const;
  // SmoothNew with a size below 1 uses 1; SmoothAdd before any SmoothNew is ignored.

 private:
  std::vector<float> history_;
  int32_t size_ = 0;
  int32_t count_ = 0;
  int32_t position_ = 0;
};
