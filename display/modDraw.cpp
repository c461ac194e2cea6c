// modDraw: colour helpers of the displays. Colour values carry red in the low
// byte, green in the second and blue in the third.
#include "display/modDraw.h"

#include "common/SampleMath.h"

namespace modDraw {

namespace {

int32_t ColourOf(float red, float green, float blue) {
  return RoundToInt32(red) + RoundToInt32(green) * 256 + RoundToInt32(blue) * 65536;
}

}  // namespace

int32_t GradientColor(float max, float value, int32_t c1, int32_t c2, int32_t c3) {
  float r1, g1, b1, r2, g2, b2, r3, g3, b3;
  SplitColor(c1, r1, g1, b1);
  SplitColor(c2, r2, g2, b2);
  SplitColor(c3, r3, g3, b3);

  const float half = max / 2.0f;
  // First half runs c1 -> c2, second half c2 -> c3; value is not clamped.
  const bool firstHalf = half > value;
  const float t = firstHalf ? value : value - half;
  const float fromR = firstHalf ? r1 : r2, toR = firstHalf ? r2 : r3;
  const float fromG = firstHalf ? g1 : g2, toG = firstHalf ? g2 : g3;
  const float fromB = firstHalf ? b1 : b2, toB = firstHalf ? b2 : b3;

  return ColourOf(fromR + (toR - fromR) / half * t, fromG + (toG - fromG) / half * t,
                  fromB + (toB - fromB) / half * t);
}

void SplitColor(int32_t colour, float& red, float& green, float& blue) {
  // C++ integer division truncates toward zero, which is what decides the
  // components of a negative colour value.
  red = static_cast<float>(colour & 255);
  green = static_cast<float>((colour / 256) & 255);
  blue = static_cast<float>((colour / 65536) & 255);
}

}  // namespace modDraw
