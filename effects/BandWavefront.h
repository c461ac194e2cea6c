// BandWavefront: runs IIRFilter bands in series over a 16-bit block with exactly the
// result of ProcessSamples_16bit on each band in turn, but several bands at once.
//
// The bands sit in SIMD lanes (4 per vector, up to 16 per group): lane k holds band
// k, and at time step t it filters sample t - kSkew * k, taking the output band k - 1
// produced kSkew steps earlier. Every lane performs the same single-precision
// operations in the same order as the scalar filter, so results are bit-identical,
// while the bands' recursions advance side by side and the hand-over between bands
// stays off the per-step critical path. No allocation: state is copied into locals
// for the block and written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "effects/IIRFilter.h"

class BandWavefront {
 public:
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kMaxVectors = 4;
  static constexpr std::size_t kMaxBands = kLanes * kMaxVectors;  // per group; more run as groups in series
  static constexpr std::size_t kSkew = 4;                          // steps from one band to the next

  // The enabled bands of `bands`, in series, over `samples` in place.
  static void Run(std::span<IIRFilter> bands, std::span<int16_t> samples);

 private:
  static void RunGroup(std::span<IIRFilter> group, std::span<int16_t> samples);
  template <std::size_t V>
  class Wavefront;
};
