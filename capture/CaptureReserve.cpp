#include "capture/CaptureReserve.h"

#include <algorithm>
#include <cstring>

void CaptureReserve::Reset(size_t capacityBytes) {
  const size_t count = std::max<size_t>(1, (capacityBytes + kChunkBytes - 1) / kChunkBytes);
  chunks_.clear();
  chunks_.resize(count);
  spare_.clear();
  spare_.reserve(kSpareChunks);
  start_ = used_ = 0;
}

char* CaptureReserve::ChunkFor(size_t position) {
  Chunk& chunk = chunks_[position / kChunkBytes];
  if (!chunk) {
    if (!spare_.empty()) {
      chunk = std::move(spare_.back());
      spare_.pop_back();
    } else {
      chunk.reset(new char[kChunkBytes]);  // uninitialised: written before it is read
    }
  }
  return chunk.get();
}

void CaptureReserve::Release(size_t chunkIndex) {
  Chunk& chunk = chunks_[chunkIndex];
  if (!chunk) return;
  if (spare_.size() < kSpareChunks) {
    spare_.push_back(std::move(chunk));
  } else {
    chunk.reset();
  }
}

size_t CaptureReserve::Store(const char* data, size_t bytes) {
  bytes = std::min(bytes, Room());
  const size_t capacity = Capacity();
  size_t at = (start_ + used_) % capacity;
  size_t left = bytes;
  while (left > 0) {
    const size_t part = std::min(left, kChunkBytes - at % kChunkBytes);
    char* target = ChunkFor(at) + at % kChunkBytes;
    if (data != nullptr) {
      std::memcpy(target, data, part);
      data += part;
    } else {
      std::memset(target, 0, part);
    }
    used_ += part;
    left -= part;
    at = (at + part) % capacity;
  }
  return bytes;
}

size_t CaptureReserve::Take(char* to, size_t bytes) {
  bytes = std::min(bytes, used_);
  size_t left = bytes;
  while (left > 0) {
    const size_t chunk = start_ / kChunkBytes;
    const size_t offset = start_ % kChunkBytes;
    const size_t part = std::min(left, kChunkBytes - offset);
    std::memcpy(to, chunks_[chunk].get() + offset, part);
    to += part;
    left -= part;
    used_ -= part;
    start_ = (start_ + part) % Capacity();
    // Read to its end, the chunk is free unless the writer has come round into it again.
    if (offset + part == kChunkBytes && used_ <= Capacity() - kChunkBytes) Release(chunk);
  }
  return bytes;
}

size_t CaptureReserve::HeldBytes() const {
  const auto held = std::count_if(chunks_.begin(), chunks_.end(), [](const Chunk& c) { return c != nullptr; });
  return (static_cast<size_t>(held) + spare_.size()) * kChunkBytes;
}
