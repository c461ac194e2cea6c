// FlacFileRepair: mends the total-samples field of an unfinished FLAC file, e.g.
// after the recording process was killed before EncoderClose. Such a file says
// "total samples unknown" in its STREAMINFO block; the mend counts the samples up
// to the end of the last whole frame and writes that count in place.
//
// Touches only a regular file (never through a symbolic link, never opened
// before lstat shows one: see RepairTarget), not locked by a running recording
// (FileRecord holds flock), that starts with a valid STREAMINFO block and the
// metadata our writer puts after it, and ends in frames whose headers and CRCs
// check, the last of the stream's full block size unless the MD5 was written
// (a shorter one ends a stream its writer finished, e.g. to a pipe); rewrites
// those 5 bytes only, never the length. Bounded work for any input: at most
// kMaxMetadataBlocks metadata headers read by seeking, and only the last two
// largest-possible frames' worth of bytes looked at, whatever the file's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class RepairTarget;

class FlacFileRepair {
 public:
  enum class Outcome {
    NotFlac,     // missing, not a regular file, or no valid FLAC header (left alone)
    Consistent,  // the total is already set
    Unprovable,  // total unknown, but not as our killed recordings leave it (left alone)
    InUse,       // a running recording holds the file's lock (left alone)
    Repaired,    // the total now counts the whole frames the file holds
    Failed,      // needed a mend but the file could not be written (`reason` says why)
  };

  static constexpr int kMaxMetadataBlocks = 256;
  // Longest metadata FixedHeaderBytes reads; ours is some 8 KiB.
  static constexpr int64_t kMaxHeaderBytes = 1 << 20;

  // Looks at `path` and mends it when it is provably an unfinished FLAC file.
  // On Failed, `reason` (when given) receives the system's words.
  static Outcome Repair(const std::string& path, std::string* reason = nullptr);
  // The same on a file the caller opened (for writing too, where it may be mended) and proved ours.
  static Outcome Repair(const RepairTarget& file, std::string* reason = nullptr);
  // "fLaC" and the metadata blocks with STREAMINFO's frame sizes, total and
  // MD5 zeroed: what stays as the recording's start wrote it. Empty when `fd`
  // is no FLAC file.
  static std::vector<uint8_t> FixedHeaderBytes(int fd);
};
