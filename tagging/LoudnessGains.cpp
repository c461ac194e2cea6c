#include "tagging/LoudnessGains.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Fixed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

int16_t Saturated(double value) {
  return static_cast<int16_t>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
}

}  // namespace

std::string LoudnessGains::ReplayGainTrackGain(const TakeMetadata::Loudness& loudness) {
  return Fixed("%.2f dB", kReplayGainReference - loudness.integratedLufs);
}

std::string LoudnessGains::ReplayGainTrackPeak(const TakeMetadata::Loudness& loudness) {
  return Fixed("%.6f", std::pow(10.0, loudness.truePeakDbtp / 20.0));
}

int16_t LoudnessGains::R128TrackGain(const TakeMetadata::Loudness& loudness) {
  return Saturated((kR128Reference - loudness.integratedLufs) * 256.0);
}

int16_t LoudnessGains::Hundredths(double value) {
  // 0x7FFF means "not set" to readers, so a real value stops one below it.
  return std::isfinite(value) ? std::min<int16_t>(Saturated(value * 100.0), 0x7FFE) : int16_t{0x7FFF};
}
