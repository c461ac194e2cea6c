#include "metering/BlockPeak.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace BlockPeak {

int32_t Of(std::span<const int16_t> block, int32_t first, int32_t step) {
  const auto stride = static_cast<size_t>(std::max(step, 1));
  int32_t peak = 0;
  for (size_t i = static_cast<size_t>(std::max(first, 0)); i < block.size(); i += stride) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(block[i])));
  }
  return peak;
}

std::array<int32_t, 2> OfChannels(std::span<const int16_t> block, int32_t channels) {
  if (channels != 2) {
    const int32_t peak = Of(block);
    return {peak, peak};
  }
  const std::span<const int16_t> frames = block.first(block.size() / 2 * 2);  // an odd last sample is no frame
  return {Of(frames, 0, 2), Of(frames, 1, 2)};
}

double Dbfs(int32_t peak) { return peak <= 0 ? kSilenceDbfs : 20.0 * std::log10(peak / 32768.0); }

}  // namespace BlockPeak
