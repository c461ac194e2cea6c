// Rounding and 16-bit saturation shared by every place where a real value becomes
// an integer or a sample again. Rounding is to nearest with halves to even
// (std::nearbyint under the default rounding mode, which the program never changes).
#pragma once

#include <cmath>
#include <cstdint>

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
inline double RoundHalfEven(double value) { return std::nearbyint(value); }

inline int32_t RoundToInt32(double value) { return static_cast<int32_t>(std::nearbyint(value)); }

inline int64_t RoundToInt64(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

// A real value as a 16-bit sample: above 32767 gives 32767, below -32768 gives
// -32768, everything else is rounded half to even.
inline int16_t ClipSample(double value) {
  if (value > 32767.0) return 32767;
  if (value < -32768.0) return -32768;
  return static_cast<int16_t>(std::nearbyint(value));
}

// Same for single-precision values; keeps hot loops in float.
inline int16_t ClipSample(float value) {
  if (value > 32767.0f) return 32767;
  if (value < -32768.0f) return -32768;
  return static_cast<int16_t>(std::nearbyintf(value));
}
