// LoudnessReading: the loudness of a recording as the recording thread
// publishes it and the controller keeps it after a stop. Values in LUFS, LU
// and dBTP; -infinity while nothing (or only silence) was measured.
#pragma once

#include <limits>

struct LoudnessReading {
  static constexpr double kNone = -std::numeric_limits<double>::infinity();

  double momentary = kNone;     // LUFS over the last 400 ms
  double shortTerm = kNone;     // LUFS over the last 3 s
  double integrated = kNone;    // gated LUFS of the whole recording
  double range = 0;             // loudness range, LU
  double truePeak = kNone;      // dBTP, loudest channel
  double maxMomentary = kNone;  // LUFS
  double maxShortTerm = kNone;  // LUFS

  bool operator==(const LoudnessReading&) const = default;
};
