// The pre-record ring: the newest samples in order across its wrap, memory
// taken only as it fills and never beyond the capacity, nothing kept at 0.
#include "app/recording/PreRecordRing.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<int16_t> Newest(const PreRecordRing& ring, size_t count) {
  std::vector<int16_t> out;
  ring.ForNewest(count, [&](std::span<const int16_t> piece) { out.insert(out.end(), piece.begin(), piece.end()); });
  return out;
}

TEST(PreRecordRingTest, KeepsTheNewestInOrderWithMemoryOnlyAsItFills) {
  const size_t capacity = PreRecordRing::kChunkSamples * 2 + 1000;  // a short last chunk
  PreRecordRing ring;
  ring.Capacity(capacity);
  EXPECT_EQ(ring.AllocatedBytes(), 0u) << "nothing up front";
  std::vector<int16_t> fed(capacity * 2 + 12345);
  std::iota(fed.begin(), fed.end(), int16_t{0});  // wraps around int16_t: still a known sequence
  ring.Add(std::span(fed).first(100));
  EXPECT_EQ(ring.AllocatedBytes(), PreRecordRing::kChunkSamples * sizeof(int16_t));
  for (size_t at = 100; at < fed.size(); at += 4321) {
    ring.Add(std::span(fed).subspan(at, std::min<size_t>(4321, fed.size() - at)));
  }
  EXPECT_EQ(ring.Size(), capacity);
  EXPECT_EQ(ring.AllocatedBytes(), capacity * sizeof(int16_t)) << "exactly the capacity once full";
  EXPECT_EQ(Newest(ring, capacity), std::vector<int16_t>(fed.end() - capacity, fed.end()));
  EXPECT_EQ(Newest(ring, 7), std::vector<int16_t>(fed.end() - 7, fed.end()));

  ring.Capacity(10);
  EXPECT_EQ(ring.AllocatedBytes(), 0u) << "released when it shrinks";
  ring.Add(fed);  // more than the capacity at once
  EXPECT_EQ(Newest(ring, 100), std::vector<int16_t>(fed.end() - 10, fed.end()));

  ring.Capacity(0);
  ring.Add(fed);
  EXPECT_EQ(ring.Size(), 0u);
  EXPECT_EQ(ring.AllocatedBytes(), 0u);
  EXPECT_TRUE(Newest(ring, 5).empty());
}

}  // namespace
