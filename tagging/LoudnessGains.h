// LoudnessGains: the playback gains players read, from a take's loudness.
// ReplayGain aims at -18 LUFS; Opus's R128_TRACK_GAIN at -23 LUFS, in Q7.8.
#pragma once

#include <cstdint>
#include <string>

#include "tagging/TakeMetadata.h"

class LoudnessGains {
 public:
  static constexpr double kReplayGainReference = -18.0;
  static constexpr double kR128Reference = -23.0;

  // "-3.25 dB"
  static std::string ReplayGainTrackGain(const TakeMetadata::Loudness& loudness);
  // Linear sample peak from the true peak, "0.891251".
  static std::string ReplayGainTrackPeak(const TakeMetadata::Loudness& loudness);
  // 1/256 dB steps, saturated to 16 bits.
  static int16_t R128TrackGain(const TakeMetadata::Loudness& loudness);
  // Hundredths, as the broadcast extension chunk keeps loudness; 0x7FFF when absent.
  static int16_t Hundredths(double value);
};
