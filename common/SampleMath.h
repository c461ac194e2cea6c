// Rounding and 16-bit saturation shared by every place where a real value becomes
// an integer or a sample again. Rounding is to nearest with halves to even
// (std::nearbyint under the default rounding mode, which the program never changes).
// ClipSample rounds without calling libm so that per-sample loops stay inline: the
// double version with std::rint (same values as nearbyint, only the inexact flag
// differs), the float version by adding and subtracting 1.5 * 2^23, which leaves
// exactly the value rounded to an integer in the current mode for |value| <= 2^22.
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
  return static_cast<int16_t>(std::rint(value));
}

// Same for single-precision values; keeps hot loops in float.
inline int16_t ClipSample(float value) {
  if (value > 32767.0f) return 32767;
  if (value < -32768.0f) return -32768;
  constexpr float kRoundingShift = 12582912.0f;  // 1.5 * 2^23: spacing of floats there is 1
  return static_cast<int16_t>((value + kRoundingShift) - kRoundingShift);
}
