// FlacFileRepair: mends the total-samples field of an unfinished FLAC file, e.g.
// after the recording process was killed before EncoderClose. Such a file says
// "total samples unknown" in its STREAMINFO block; the mend counts the samples up
// to the end of the last whole frame and writes that count in place.
//
// Touches only a regular file (never through a symbolic link), not locked by a
// running recording (FileRecord holds flock), that starts with a valid
// STREAMINFO block and ends in frames whose headers and CRCs check; rewrites
// those 5 bytes only, never the length. Bounded work for any input: at most
// kMaxMetadataBlocks metadata headers read by seeking, and only the last two
// largest-possible frames' worth of bytes looked at, whatever the file's size.
#pragma once

#include <string>

class FlacFileRepair {
 public:
  enum class Outcome {
    NotFlac,     // missing, not a regular file, or no valid FLAC header (left alone)
    Consistent,  // the total is already set
    Unprovable,  // total unknown, but no whole frame found at the end (left alone)
    InUse,       // a running recording holds the file's lock (left alone)
    Repaired,    // the total now counts the whole frames the file holds
    Failed,      // needed a mend but the file could not be written (`reason` says why)
  };

  static constexpr int kMaxMetadataBlocks = 256;

  // Looks at `path` and mends it when it is provably an unfinished FLAC file.
  // On Failed, `reason` (when given) receives the system's words.
  static Outcome Repair(const std::string& path, std::string* reason = nullptr);
};
