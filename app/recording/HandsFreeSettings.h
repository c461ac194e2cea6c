// HandsFreeSettings: how a recording runs without someone at the window, as
// chosen on the "定时/触发" page: sound-activated takes with pre-roll, and
// splitting into files of a fixed length. Defaults: both off, as a recording
// runs by hand. Plain values, copied to the recording thread with each change.
#pragma once

#include <cstdint>

struct SoundActivation {
  enum class AfterSilence { Pause, NewFile };

  bool enabled = false;
  double thresholdDbfs = -40.0;  // a level at or above it counts as sound
  int32_t holdMs = 100;          // sound held this long starts the take
  double preRollSeconds = 2.0;   // 0 ... 30: the take includes this much from before the trigger
  double hangSeconds = 3.0;      // silence this long ends the take's sound
  AfterSilence afterSilence = AfterSilence::Pause;  // pause the take (same file) or end it (next file)

  friend bool operator==(const SoundActivation&, const SoundActivation&) = default;
};

struct HandsFreeSettings {
  SoundActivation sound;
  int32_t splitMinutes = 0;  // 0: off; else a new numbered part every that many minutes

  friend bool operator==(const HandsFreeSettings&, const HandsFreeSettings&) = default;
};
