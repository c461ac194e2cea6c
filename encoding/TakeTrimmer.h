// TakeTrimmer: keeps a range of a finished take in a new file beside it,
// "<name> (剪辑).<ext>" (or " (剪辑 2)", " (剪辑 3)" ... when that name is
// taken); the take itself is only read. The new file is created exclusively
// (never a link, never an existing file), noted as pending (PendingFiles) until
// it is whole, and removed again when the cut fails.
//   WAV (PCM, A-law, u-law): the sample bytes of the range, to the sample.
//   FLAC: decoded and encoded again, the same samples bit for bit.
//   Ogg Opus, MP3: the codec's packets of the range copied, to the codec frame.
#pragma once

#include <string>

#include "encoding/TrimRange.h"

class TakeTrimmer {
 public:
  struct Result {
    bool ok = false;
    std::string path;   // the new file
    std::string error;  // why it failed, the system's or codec library's words included
    TrimRange kept;     // the part of the take the new file holds: the range, or (packets) its codec frames
  };

  static Result Trim(const std::string& take, const TrimRange& range);
  // The name of the `number`th cut of `take` (1: " (剪辑)").
  static std::string CutName(const std::string& take, int number);

 private:
  // The first free cut name, created empty; `error` set when none could be made.
  static std::string ClaimCutFile(const std::string& take, std::string& error);
  static std::string TrimFlac(const std::string& take, const TrimRange& range, const std::string& target);
};
