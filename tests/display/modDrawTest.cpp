// Colour splitting (truncating divisions) and the three-stop gradient.
#include "display/modDraw.h"

#include <gtest/gtest.h>

namespace {

struct Rgb {
  float r, g, b;
};

Rgb Split(int32_t c) {
  Rgb x{};
  modDraw::SplitColor(c, x.r, x.g, x.b);
  return x;
}

using modDraw::kGreen, modDraw::kOrange, modDraw::kRed;

}  // namespace

TEST(modDraw, SplitColorGivesTheThreeBytes) {
  Rgb o = Split(kOrange);
  EXPECT_EQ(o.r, 225);
  EXPECT_EQ(o.g, 168);
  EXPECT_EQ(o.b, 34);
  Rgb w = Split(16777215);
  EXPECT_EQ(w.r, 255);
  EXPECT_EQ(w.g, 255);
  EXPECT_EQ(w.b, 255);
}

TEST(modDraw, SplitColorOfNegativeValueTruncatesTowardZero) {
  Rgb g = Split(-13312);  // -52 * 256: blue comes out 0, not 255
  EXPECT_EQ(g.r, 0);
  EXPECT_EQ(g.g, 204);
  EXPECT_EQ(g.b, 0);
  Rgb m = Split(-1);  // -1 / 256 and -1 / 65536 truncate to 0
  EXPECT_EQ(m.r, 255);
  EXPECT_EQ(m.g, 0);
  EXPECT_EQ(m.b, 0);
}

TEST(modDraw, GradientColorHitsItsStops) {
  EXPECT_EQ(modDraw::GradientColor(1, 0, kGreen, kOrange, kRed), kGreen);
  EXPECT_EQ(modDraw::GradientColor(1, 0.5f, kGreen, kOrange, kRed), kOrange);
  EXPECT_EQ(modDraw::GradientColor(1, 1, kGreen, kOrange, kRed), kRed);
  // The equalizer curve's stops, with the negative third colour.
  EXPECT_EQ(modDraw::GradientColor(200, 0, 74428, kOrange, -13312), 74428);
  EXPECT_EQ(modDraw::GradientColor(200, 200, 74428, kOrange, -13312), 204 * 256);
}

TEST(modDraw, GradientColorInterpolatesAndRoundsHalfToEven) {
  // Quarter way: half-way between green (0,255,0) and orange (225,168,34):
  // 112.5 -> 112, 211.5 -> 212, 17 -> 17.
  EXPECT_EQ(modDraw::GradientColor(1, 0.25f, kGreen, kOrange, kRed), 112 + 212 * 256 + 17 * 65536);
  // Three quarters: between orange and red: 240, 84, 17.
  EXPECT_EQ(modDraw::GradientColor(1, 0.75f, kGreen, kOrange, kRed), 240 + 84 * 256 + 17 * 65536);
}
