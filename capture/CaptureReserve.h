// CaptureReserve: the queue of received input bytes between the audio server's
// thread (which stores) and the recording thread (which takes), bounded by a
// byte capacity. Memory is held in chunks of kChunkBytes taken as the queue
// grows and given back as it empties (a few kept for reuse), so a queue sized
// for a minute costs only what it holds. Not locked: the owner guards it.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class CaptureReserve {
 public:
  static constexpr size_t kChunkBytes = 65536;

  // Empties the queue and sets its capacity (rounded up to whole chunks).
  void Reset(size_t capacityBytes);
  size_t Capacity() const { return chunks_.size() * kChunkBytes; }
  size_t Used() const { return used_; }
  size_t Room() const { return Capacity() - used_; }
  // Appends up to Room() bytes of `data` (nullptr: zero bytes, a hole in the
  // stream); returns how many were stored.
  size_t Store(const char* data, size_t bytes);
  // Moves up to `bytes` of the oldest bytes to `to`; returns how many.
  size_t Take(char* to, size_t bytes);
  // Bytes of chunk memory held now (for memory figures).
  size_t HeldBytes() const;

 private:
  using Chunk = std::unique_ptr<char[]>;
  static constexpr size_t kSpareChunks = 4;

  char* ChunkFor(size_t position);  // allocates a missing chunk
  void Release(size_t chunkIndex);

  std::vector<Chunk> chunks_;  // ring of chunk slots, nullptr where nothing is held
  std::vector<Chunk> spare_;   // emptied chunks kept for reuse; capacity reserved
  size_t start_ = 0;           // ring position of the oldest byte
  size_t used_ = 0;
};
