#include "app/recording/PreRecordRing.h"

#include <algorithm>

void PreRecordRing::Capacity(size_t samples) {
  capacity_ = samples;
  Clear();
}

void PreRecordRing::Clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  size_ = 0;
  next_ = 0;
}

size_t PreRecordRing::AllocatedBytes() const {
  size_t bytes = 0;
  for (size_t k = 0; k < chunks_.size(); ++k) {
    if (chunks_[k]) bytes += std::min(kChunkSamples, capacity_ - k * kChunkSamples) * sizeof(int16_t);
  }
  return bytes;
}

int16_t* PreRecordRing::At(size_t index) {
  const size_t chunk = index / kChunkSamples;
  if (chunks_.size() <= chunk) chunks_.resize(chunk + 1);
  if (!chunks_[chunk]) chunks_[chunk] = std::make_unique<int16_t[]>(std::min(kChunkSamples, capacity_ - chunk * kChunkSamples));
  return chunks_[chunk].get() + index % kChunkSamples;
}

void PreRecordRing::Add(std::span<const int16_t> samples) {
  if (capacity_ == 0) return;
  // Only the newest capacity's worth can stay.
  if (samples.size() > capacity_) samples = samples.last(capacity_);
  while (!samples.empty()) {
    // Up to the end of the chunk and of the ring, whichever comes first.
    const size_t room = std::min(kChunkSamples - next_ % kChunkSamples, capacity_ - next_);
    const size_t n = std::min(room, samples.size());
    std::copy_n(samples.data(), n, At(next_));
    samples = samples.subspan(n);
    next_ = (next_ + n) % capacity_;
    size_ = std::min(size_ + n, capacity_);
  }
}

void PreRecordRing::ForNewest(size_t count, const std::function<void(std::span<const int16_t>)>& visit) const {
  count = std::min(count, size_);
  if (count == 0) return;
  size_t index = (next_ + capacity_ - count) % capacity_;
  while (count > 0) {
    const size_t n = std::min({count, kChunkSamples - index % kChunkSamples, capacity_ - index});
    visit(std::span<const int16_t>(chunks_[index / kChunkSamples].get() + index % kChunkSamples, n));
    count -= n;
    index = (index + n) % capacity_;
  }
}
