// FrameDelay: interleaved samples made late by a fixed number of frames
// (silence first), as a stream: what goes in one call comes out that many
// frames later across calls. Keeps one input beside another that a processor
// delayed (the reference beside the echo-cancelled microphone). Per-block
// calls do not allocate once a block of the size was seen.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class FrameDelay {
 public:
  FrameDelay(int32_t frames, int16_t channels);
  // `in` delayed: the newest in.size() samples of the delayed stream; kept until the next call.
  std::span<const int16_t> Process(std::span<const int16_t> in);

 private:
  std::vector<int16_t> line_;  // the delay's samples, oldest at head_
  size_t head_ = 0;
  std::vector<int16_t> out_;
};
