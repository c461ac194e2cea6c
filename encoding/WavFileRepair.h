// WavFileRepair: checks that a RIFF WAVE file's size fields agree with its length
// and mends them when they do not, e.g. after the recording process was killed
// between two header refreshes. Only the two size fields are rewritten; a trailing
// partial sample frame is cut off so every reader sees whole frames.
#pragma once

#include <cstdint>
#include <string>

class WavFileRepair {
 public:
  enum class Outcome {
    NotWave,     // not a RIFF WAVE file with "fmt " and "data" chunks (left alone)
    Consistent,  // sizes agree with the file length
    Repaired,    // sizes rewritten to describe the audio the file holds
    Failed,      // needed a repair but the file could not be written
  };

  // Looks at `path` and repairs it when its sizes disagree with its length.
  static Outcome Repair(const std::string& path);
  // True when Repair would change the file.
  static bool NeedsRepair(const std::string& path);
};
