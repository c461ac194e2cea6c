// HandsFreeSettings: how a recording runs without someone at the window, as
// chosen on the "定时/触发" page: sound-activated takes with pre-roll, and
// splitting into files of a fixed length. Defaults: both off, as a recording
// runs by hand. Plain values, copied to the recording thread with each change.
#pragma once

#include <cstdint>

struct SoundActivation {
  enum class AfterSilence { Pause, NewFile };

  // What the page and the command line accept. A hang of less than one 10 ms
  // level window counts as one window.
  static constexpr double kLowestThresholdDbfs = -90.0;
  static constexpr double kHighestThresholdDbfs = 0.0;
  static constexpr int32_t kLongestHoldMs = 10000;
  static constexpr double kLongestPreRollSeconds = 30.0;
  static constexpr double kShortestHangSeconds = 0.1;
  static constexpr double kLongestHangSeconds = 600.0;

  bool enabled = false;
  double thresholdDbfs = -40.0;  // a level at or above it counts as sound
  int32_t holdMs = 100;          // sound held this long starts the take
  double preRollSeconds = 2.0;   // 0 ... 30: the take includes this much from before the trigger
  double hangSeconds = 3.0;      // 0.1 ... 600: silence this long ends the take's sound
  AfterSilence afterSilence = AfterSilence::Pause;  // pause the take (same file) or end it (next file)

  friend bool operator==(const SoundActivation&, const SoundActivation&) = default;
};

struct HandsFreeSettings {
  static constexpr int32_t kLongestSplitMinutes = 24 * 60;

  SoundActivation sound;
  int32_t splitMinutes = 0;  // 0: off; else 1 ... 1440: a new numbered part every that many minutes

  friend bool operator==(const HandsFreeSettings&, const HandsFreeSettings&) = default;
};
