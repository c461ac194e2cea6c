// FlacVerbatimFrame: one FLAC frame that stores 16-bit samples as they are
// (VERBATIM subframes, independent channels), for a fixed-block-size stream:
// the frame header carries the frame number, the rate and the sample size as
// the stream's other frames do (readers compare them), and ends in CRC-8; the
// frame ends in CRC-16. Used to put the
// partial block a FLAC encoder still holds at the end of a file for a while
// (see AudioMuxer::Checkpoint); decoders and FlacFileRepair read it like the
// encoder's own last, short frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class FlacVerbatimFrame {
 public:
  // Largest block a frame header can state.
  static constexpr int kMaxFrames = 65536;

  // Appends to `out` the frame numbered `frameNumber` (< 2^31) holding `samples`:
  // interleaved, `channels` (1..8) per sample frame, 1..kMaxFrames sample frames,
  // at `rate` Hz (1..655350).
  static void Append(uint32_t frameNumber, std::span<const int16_t> samples, int channels, int rate,
                     std::vector<uint8_t>& out);
};
