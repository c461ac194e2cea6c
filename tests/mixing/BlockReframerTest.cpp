#include "mixing/BlockReframer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

constexpr size_t kFrame = 4;

// Each frame becomes 2 * near + far, and the frames seen are counted.
BlockReframer DoublingReframer(std::vector<size_t>& frameSizes) {
  return BlockReframer(kFrame, [&frameSizes](std::span<int16_t> near, std::span<const int16_t> far) {
    frameSizes.push_back(near.size());
    for (size_t i = 0; i < near.size(); ++i) near[i] = static_cast<int16_t>(2 * near[i] + far[i]);
  });
}

}  // namespace

TEST(BlockReframerTest, GivesEveryBlockSizeTheWholeFramesOneFrameLate) {
  std::vector<size_t> frameSizes;
  BlockReframer reframer = DoublingReframer(frameSizes);
  std::vector<int16_t> near(23);
  std::iota(near.begin(), near.end(), int16_t{1});
  std::vector<int16_t> far(near.size(), 100);
  std::vector<int16_t> out = near;
  // Blocks shorter than, equal to, and longer than a frame, and an empty one.
  size_t at = 0;
  for (size_t block : {1, 2, 0, 4, 9, 7}) {
    reframer.Process(std::span(out).subspan(at, block), std::span<const int16_t>(far).subspan(at, block));
    at += block;
  }
  ASSERT_EQ(at, near.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const int expected = i < kFrame ? 0 : 2 * near[i - kFrame] + 100;
    EXPECT_EQ(out[i], expected) << "sample " << i;
  }
  EXPECT_EQ(frameSizes, std::vector<size_t>(5, kFrame));  // 20 of the 23 samples make whole frames
}
