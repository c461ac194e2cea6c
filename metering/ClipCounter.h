// ClipCounter: counts the clips of each channel of a recording. A block clips
// in a channel when a sample reaches full scale (32767 or -32768) or its true
// peak exceeds -0.1 dBTP; a run of clipping blocks counts once, so a long
// overload is one clip, not thousands.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

class ClipCounter {
 public:
  static constexpr int kChannels = 2;
  static constexpr double kTruePeakLimit = 0.98855309465693886;  // -0.1 dBTP, linear

  // A new recording of `channels` (1 or 2) channels: no clips.
  void Begin(int16_t channels);
  // One recorded block, interleaved; `truePeakOverLimit(channel)` whether its
  // true peak there exceeded kTruePeakLimit.
  void Add(std::span<const int16_t> samples, const std::function<bool(int16_t)>& truePeakOverLimit);
  // Clips so far in `channel`; a mono recording reports its one channel as both.
  int64_t Clips(int channel) const;

 private:
  static bool ReachesFullScale(std::span<const int16_t> samples, size_t first, size_t step);

  int16_t channels_ = 1;
  std::array<int64_t, kChannels> clips_{};
  std::array<bool, kChannels> clipping_{};  // the previous block clipped there
};
