// PreRecordRing: the newest input kept while monitoring, for a start that
// begins before its press. Holds at most Capacity() samples (interleaved
// 16-bit, whole frames as added); memory is taken in chunks as it fills, never
// up front, so a long pre-record costs nothing until the input has run that
// long, and never more than the capacity (no copy on growth).
// Recording thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class PreRecordRing {
 public:
  // Samples per chunk of memory (128 KiB); the last chunk is only as long as the capacity needs.
  static constexpr size_t kChunkSamples = size_t{1} << 16;

  // Forgets what it holds, releases its memory and keeps at most `samples` from now on (0: nothing).
  void Capacity(size_t samples);
  size_t Capacity() const { return capacity_; }
  // Keeps `samples`, dropping the oldest beyond the capacity.
  void Add(std::span<const int16_t> samples);
  // Samples held now.
  size_t Size() const { return size_; }
  // Bytes of memory taken now.
  size_t AllocatedBytes() const;
  // The newest `count` samples (at most Size()), oldest first, in contiguous pieces.
  void ForNewest(size_t count, const std::function<void(std::span<const int16_t>)>& visit) const;
  // Forgets what it holds and releases its memory; the capacity stays.
  void Clear();

 private:
  int16_t* At(size_t index);  // allocates the chunk of `index` when first reached

  std::vector<std::unique_ptr<int16_t[]>> chunks_;
  size_t capacity_ = 0;
  size_t size_ = 0;
  size_t next_ = 0;  // where the next sample goes, 0 .. capacity - 1
};
