#include "mixing/TrackMix.h"

#include <gtest/gtest.h>

#include <cmath>

#include <vector>

TEST(TrackMixTest, AddsAtTheGainsAndSaturatesAtFullScale) {
  const std::vector<int16_t> first{1000, -1000, 30000, -30000, 0};
  const std::vector<int16_t> second{1000, 500, 30000, -30000, 7};
  std::vector<int16_t> out(first.size());
  TrackMix(0.0, 0.0).Mix(first, second, out);
  EXPECT_EQ(out, (std::vector<int16_t>{2000, -500, 32767, -32768, 7}));

  // -6.02 dB halves, +6.02 dB doubles; the mix may be written over the first input.
  std::vector<int16_t> inPlace = first;
  TrackMix(20 * std::log10(0.5), 20 * std::log10(2.0)).Mix(inPlace, second, inPlace);
  EXPECT_EQ(inPlace, (std::vector<int16_t>{2500, 500, 32767, -32768, 14}));
}
