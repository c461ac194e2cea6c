// SecondInputSettings: a second device recorded beside the first as one take
// (a microphone and what the computer plays), and where its tracks go. The
// default, no second device, records exactly as one input does. Plain values,
// copied to the recording thread with each change and remembered.
#pragma once

#include <string>

enum class TrackLayout {
  Mix,       // one file: both inputs mixed at their gains
  Separate,  // one file per input: "<name>.ext" (the first) and "<name>-2.ext"
  Both,      // the mix as "<name>.ext", and "<name>-1.ext", "<name>-2.ext"
};

struct SecondInputSettings {
  static constexpr double kLowestGainDb = -20.0;
  static constexpr double kHighestGainDb = 20.0;

  std::string sourceName;  // the server's name of the second device; empty: none
  TrackLayout tracks = TrackLayout::Mix;
  // Separate WAV or FLAC tracks as one file, one channel pair per input.
  bool oneMultichannelFile = false;
  double firstGainDb = 0;   // in the mix
  double secondGainDb = 0;  // in the mix
  // The computer's sound (the second input, a monitor) removed from the first input.
  bool removeComputerSound = true;
  // Sound activation listens to either input instead of the first only.
  bool gateOnEither = false;

  bool Active() const { return !sourceName.empty(); }
  friend bool operator==(const SecondInputSettings&, const SecondInputSettings&) = default;
};
