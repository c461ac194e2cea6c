#include "app/recording/LoudnessTags.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "metering/LoudnessMeter.h"
#include "encoding/TakeDecoder.h"

namespace {
constexpr int64_t kFramesPerRead = 8192;
}  // namespace

std::optional<TakeMetadata::Loudness> LoudnessTags::Of(const LoudnessReading& reading) {
  if (!std::isfinite(reading.integrated) || !std::isfinite(reading.truePeak)) return std::nullopt;
  TakeMetadata::Loudness loudness{.integratedLufs = reading.integrated,
                                  .rangeLu = reading.range,
                                  .truePeakDbtp = reading.truePeak};
  if (std::isfinite(reading.maxMomentary)) loudness.maxMomentaryLufs = reading.maxMomentary;
  if (std::isfinite(reading.maxShortTerm)) loudness.maxShortTermLufs = reading.maxShortTerm;
  return loudness;
}

LoudnessTags::Measured LoudnessTags::OfFile(const std::string& path, double seconds) {
  TakeDecoder decoder;
  if (!decoder.Open(path)) return {.error = decoder.LastError()};
  LoudnessMeter meter;
  if (!meter.Begin(decoder.Rate(), decoder.Channels())) return {.error = "the loudness meter refused the format"};
  std::vector<int16_t> block;
  for (auto left = static_cast<int64_t>((std::max(seconds, 0.0) + 1.0) * decoder.Rate()); left > 0;) {
    block.clear();
    const int64_t got = decoder.Read(block, std::min(left, kFramesPerRead));
    if (got < 0) return {.error = decoder.LastError()};
    if (got == 0) break;
    meter.Add(block);
    left -= got;
  }
  return {.loudness = Of(meter.Final())};
}
