#include "metering/PeakHold.h"

float PeakHold::Update(float level, int64_t nowMs) {
  if (level >= held_ || nowMs - heldSinceMs_ >= kHoldMs) {
    held_ = level;
    heldSinceMs_ = nowMs;
  }
  return held_;
}
