#include "mixing/FrameDelay.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

// Blocks of any size, shorter and longer than the delay, give one stream
// delayed by exactly the frames asked for, silence first.
TEST(FrameDelayTest, DelaysAStreamByWholeFramesAcrossBlocksOfAnySize) {
  FrameDelay delay(3, 2);
  std::vector<int16_t> in(40);
  std::iota(in.begin(), in.end(), int16_t{1});
  std::vector<int16_t> out;
  size_t at = 0;
  for (size_t size : {2u, 10u, 4u, 24u}) {
    const auto piece = delay.Process(std::span<const int16_t>(in).subspan(at, size));
    out.insert(out.end(), piece.begin(), piece.end());
    at += size;
  }
  std::vector<int16_t> expected(6, 0);
  expected.insert(expected.end(), in.begin(), in.end() - 6);
  EXPECT_EQ(out, expected);

  FrameDelay none(0, 2);
  const auto same = none.Process(in);
  EXPECT_EQ(std::vector<int16_t>(same.begin(), same.end()), in);
}
