#include "app/recording/ChannelPeaks.h"

#include <algorithm>
#include <cstdlib>

std::array<int32_t, 2> ChannelPeaks(std::span<const int16_t> block, int32_t channels) {
  std::array<int32_t, 2> peaks{};
  if (channels == 2) {
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
      peaks[0] = std::max(peaks[0], std::abs(static_cast<int32_t>(block[i])));
      peaks[1] = std::max(peaks[1], std::abs(static_cast<int32_t>(block[i + 1])));
    }
    return peaks;
  }
  for (const int16_t sample : block) peaks[0] = std::max(peaks[0], std::abs(static_cast<int32_t>(sample)));
  peaks[1] = peaks[0];
  return peaks;
}
