// FlacFileRepair: mends the total-samples field of an unfinished FLAC file, e.g.
// after the recording process was killed before EncoderClose. Such a file says
// "total samples unknown" in its STREAMINFO block; the mend counts the samples up
// to the end of the last whole frame and writes that count in place.
//
// Touches only a regular file (no symbolic link) that starts with a valid
// STREAMINFO block and ends in frames whose headers and CRCs check; rewrites those
// 5 bytes only, never the length. Work is bounded: a capped metadata walk and a
// look at the last few frames' worth of bytes, whatever the file's size.
#pragma once

#include <string>

class FlacFileRepair {
 public:
  enum class Outcome {
    NotFlac,     // not provably a FLAC file of ours (left alone)
    Consistent,  // the total is already set
    Repaired,    // the total now counts the whole frames the file holds
    Failed,      // needed a mend but holds no whole frame, or could not be written
  };

  static Outcome Repair(const std::string& path);
};
