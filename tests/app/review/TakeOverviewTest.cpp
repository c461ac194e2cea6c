// The overview's columns against a brute-force minimum and maximum over the
// frames each column covers, across the merges a growing take goes through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "app/review/TakeOverview.h"

namespace {

std::vector<int16_t> RandomSamples(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> value(INT16_MIN, INT16_MAX);
  std::vector<int16_t> samples(count);
  for (int16_t& sample : samples) sample = static_cast<int16_t>(value(generator));
  return samples;
}

void ExpectBruteForce(const TakeOverview& overview, const std::vector<int16_t>& samples, int channels) {
  const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
  const int64_t perColumn = overview.FramesPerColumn();
  ASSERT_EQ(overview.Frames(), frames);
  const auto columns = overview.Columns();
  ASSERT_EQ(static_cast<int64_t>(columns.size()), (frames + perColumn - 1) / perColumn);
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto first = samples.begin() + static_cast<int64_t>(i) * perColumn * channels;
    const auto last = samples.begin() + std::min(frames, static_cast<int64_t>(i + 1) * perColumn) * channels;
    const auto [low, high] = std::minmax_element(first, last);
    ASSERT_EQ(columns[i].minimum, *low) << "column " << i;
    ASSERT_EQ(columns[i].maximum, *high) << "column " << i;
  }
}

// Fed in blocks of `block` samples (a multiple of the channel count).
TakeOverview Overview(const std::vector<int16_t>& samples, int channels, size_t block) {
  TakeOverview overview;
  overview.Begin("take.wav", 44100, static_cast<int16_t>(channels));
  for (size_t at = 0; at < samples.size(); at += block) {
    overview.Add(std::span(samples).subspan(at, std::min(block, samples.size() - at)));
  }
  return overview;
}

TEST(TakeOverviewTest, ColumnsEqualBruteForceThroughMerges) {
  for (const int channels : {1, 2}) {
    // Fewer frames than columns, exactly full, one past full, several merges with a partial column.
    for (const size_t frames : {size_t{1000}, size_t{2048}, size_t{2049}, size_t{2048 * 8 + 77}, size_t{300001}}) {
      SCOPED_TRACE(testing::Message() << channels << " channels, " << frames << " frames");
      const auto samples = RandomSamples(frames * channels, static_cast<uint32_t>(frames));
      ExpectBruteForce(Overview(samples, channels, 1024), samples, channels);
    }
  }
}

TEST(TakeOverviewTest, FrameSplitAcrossBlocksCountsOnce) {
  // Odd block sizes put a stereo frame's two samples into different blocks.
  const auto samples = RandomSamples(2 * 5000, 7);
  const TakeOverview overview = Overview(samples, 2, 333);
  ExpectBruteForce(overview, samples, 2);
  EXPECT_LE(overview.Columns().size(), static_cast<size_t>(TakeOverview::kColumns));
}

TEST(TakeOverviewTest, BeginStartsAnEmptyTake) {
  TakeOverview overview = Overview(RandomSamples(10000, 3), 1, 512);
  overview.Begin("next.flac", 48000, 2);
  EXPECT_TRUE(overview.Columns().empty());
  EXPECT_EQ(overview.Frames(), 0);
  EXPECT_EQ(overview.FramesPerColumn(), 1);
  EXPECT_EQ(overview.Path(), "next.flac");
}

}  // namespace
