// CaptureReserve: bytes come out in the order they went in, across chunk and
// ring boundaries; a full queue stores what fits; memory follows what is held.
#include "capture/CaptureReserve.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

constexpr size_t kChunk = CaptureReserve::kChunkBytes;

std::vector<char> Counting(size_t count, size_t from) {
  std::vector<char> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((from + i) * 7 % 251);
  return bytes;
}

TEST(CaptureReserveTest, BytesComeOutInOrderThroughManyWrapsAndOddSizes) {
  CaptureReserve reserve;
  reserve.Reset(3 * kChunk);
  size_t stored = 0;
  size_t taken = 0;
  // Odd piece sizes so that stores and takes straddle chunk ends and the ring's end.
  for (size_t round = 0; round < 200; ++round) {
    const std::vector<char> in = Counting(12345 + round * 97 % 5000, stored);
    stored += reserve.Store(in.data(), in.size());
    std::vector<char> out(9876 + round * 31 % 7000);
    out.resize(reserve.Take(out.data(), out.size()));
    ASSERT_EQ(out, Counting(out.size(), taken)) << "round " << round;
    taken += out.size();
    ASSERT_EQ(reserve.Used(), stored - taken);
  }
  EXPECT_GT(stored, 10 * reserve.Capacity()) << "the ring went round many times";
}

TEST(CaptureReserveTest, FullQueueStoresWhatFitsAndHolesAreSilence) {
  CaptureReserve reserve;
  reserve.Reset(kChunk + 1);  // rounded up to whole chunks
  ASSERT_EQ(reserve.Capacity(), 2 * kChunk);
  const std::vector<char> in = Counting(3 * kChunk, 0);
  EXPECT_EQ(reserve.Store(in.data(), in.size()), 2 * kChunk);
  EXPECT_EQ(reserve.Room(), 0u);
  EXPECT_EQ(reserve.Store(in.data(), 1), 0u);

  std::vector<char> out(kChunk);
  reserve.Take(out.data(), out.size());
  EXPECT_EQ(reserve.Store(nullptr, 10), 10u);  // a hole in the stream
  out.resize(reserve.Used());
  reserve.Take(out.data(), out.size());
  EXPECT_EQ(std::vector<char>(out.begin(), out.end() - 10), Counting(kChunk, kChunk));
  EXPECT_EQ(std::vector<char>(out.end() - 10, out.end()), std::vector<char>(10, 0));
}

TEST(CaptureReserveTest, MemoryFollowsTheBacklogNotTheCapacity) {
  CaptureReserve reserve;
  reserve.Reset(1000 * kChunk);  // a minute of a high rate
  const std::vector<char> block = Counting(kChunk / 4, 0);
  std::vector<char> out(block.size());
  // A recording thread that keeps up: the backlog stays small however long it runs.
  for (int i = 0; i < 20000; ++i) {
    reserve.Store(block.data(), block.size());
    reserve.Take(out.data(), out.size());
  }
  EXPECT_LE(reserve.HeldBytes(), 8 * kChunk);
  // Falling behind takes memory as needed, and it is given back once caught up.
  for (int i = 0; i < 400; ++i) reserve.Store(block.data(), block.size());
  EXPECT_GE(reserve.HeldBytes(), 100 * kChunk);
  while (reserve.Used() > 0) reserve.Take(out.data(), out.size());
  EXPECT_LE(reserve.HeldBytes(), 8 * kChunk);
}

}  // namespace
