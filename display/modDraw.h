// modDraw: colour helpers of the displays (level bars, equalizer curve).
#pragma once

#include <cstdint>

namespace modDraw {

// Colour values (red in the low byte) of the level bars' gradient, from an
// empty bar to a full one; the orange is also the equalizer curve's middle.
constexpr int32_t kGreen = 65280;     // (0, 255, 0)
constexpr int32_t kOrange = 2271457;  // (225, 168, 34)
constexpr int32_t kRed = 255;         // (255, 0, 0)

// Three-stop linear gradient over 0..max with c2 at max/2; single precision.
int32_t GradientColor(float max, float value, int32_t c1, int32_t c2, int32_t c3);

// Splits a colour into red, green, blue with truncating divisions
// (-13312 gives 0, 204, 0).
void SplitColor(int32_t colour, float& red, float& green, float& blue);

}  // namespace modDraw
