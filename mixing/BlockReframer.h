// BlockReframer: lets a processor that works on frames of one fixed size take
// blocks of any size. Samples gather into a frame; a full frame is processed
// and given out while the next one gathers, so the output is exactly one frame
// late whatever the block sizes (silence until the first frame is done).
// Buffers are sized once; Process does not allocate. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class BlockReframer {
 public:
  // Processes one whole frame: `near` in place, given `far`; both frameSamples long.
  using FrameProcessor = std::function<void(std::span<int16_t> near, std::span<const int16_t> far)>;

  BlockReframer(size_t frameSamples, FrameProcessor processFrame);

  // `near` is replaced by the processed samples of one frame earlier; `far`
  // must be as long as `near`.
  void Process(std::span<int16_t> near, std::span<const int16_t> far);

 private:
  FrameProcessor processFrame_;
  std::vector<int16_t> gatheringNear_;
  std::vector<int16_t> gatheringFar_;
  std::vector<int16_t> processed_;  // the last full frame, given out as the next gathers
  size_t filled_ = 0;               // samples gathered into the current frame
};
