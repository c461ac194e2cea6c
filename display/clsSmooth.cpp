// clsSmooth: moving average of the most recent level readings (peak values of
// the newest sample block, 0..32768), written round-robin into a fixed history.
#include "display/clsSmooth.h"

#include <cstddef>

void clsSmooth::SmoothNew(int32_t size) {
  // A history shorter than one reading cannot hold anything; one is the least
  // that still gives a meaningful average (the last reading).
  size_ = size < 1 ? 1 : size;
  history_.assign(static_cast<size_t>(size_), 0.0f);
  position_ = 0;
  count_ = 0;
}

void clsSmooth::SmoothAdd(float sample) {
  if (size_ == 0) return;  // SmoothNew never called: nothing to write into
  history_[static_cast<size_t>(position_)] = sample;
  ++position_;
  if (position_ > count_) ++count_;
  if (position_ >= size_) position_ %= size_;
}

float clsSmooth::SmoothGetMax() const {
  if (count_ == 0) return 0.0f;  // no reading yet: an empty bar, not 0 / 0
  float sum = 0.0f;
  for (int32_t i = 0; i < count_; ++i) sum += history_[static_cast<size_t>(i)];
  return sum / static_cast<float>(count_);
}
