// The block peak as the level bars take it (one channel of interleaved frames)
// and as the doors report it (the whole block, in dBFS).
#include "metering/BlockPeak.h"

#include <gtest/gtest.h>

#include <vector>

TEST(BlockPeakTest, ScansEveryStepOfTheWholeBlockAndReadsItInDbfs) {
  const std::vector<int16_t> block = {1, -32768, 300, 5, -400, 6, 7};
  EXPECT_EQ(BlockPeak::Of(block, 0, 2), 400);
  EXPECT_EQ(BlockPeak::Of(block, 1, 2), 32768);
  EXPECT_EQ(BlockPeak::Of(block), 32768);
  EXPECT_EQ(BlockPeak::Of(block, 7, 2), 0);
  EXPECT_EQ(BlockPeak::Of(block, 0, 0), 32768) << "a step below 1 still ends";

  EXPECT_DOUBLE_EQ(BlockPeak::Dbfs(32768), 0.0);
  EXPECT_NEAR(BlockPeak::Dbfs(16384), -6.0206, 1e-4);
  EXPECT_EQ(BlockPeak::Dbfs(0), BlockPeak::kSilenceDbfs);
}

TEST(BlockPeakTest, ChannelsScanEveryWholeFrame) {
  const std::vector<int16_t> block = {1, -32768, 300, 5, -400, 6, 7};
  EXPECT_EQ(BlockPeak::OfChannels(block, 2), (std::array<int32_t, 2>{400, 32768})) << "the odd last sample is no frame";
  EXPECT_EQ(BlockPeak::OfChannels(block, 1), (std::array<int32_t, 2>{32768, 32768}));
  EXPECT_EQ(BlockPeak::OfChannels({}, 2), (std::array<int32_t, 2>{0, 0}));
}
