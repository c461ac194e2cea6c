// LoudnessTags: the loudness fields a finished file is tagged with: from a
// meter that measured exactly the samples the file holds, or measured on the
// file itself, decoded (for a lossy type whose decoded samples are what a
// player, and every other meter, hears).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "metering/LoudnessReading.h"
#include "tagging/TakeMetadata.h"

class LoudnessTags {
 public:
  // The reading as tags take it; none for silence (no integrated value or true peak).
  static std::optional<TakeMetadata::Loudness> Of(const LoudnessReading& reading);

  struct Measured {
    std::optional<TakeMetadata::Loudness> loudness;
    std::string error;  // why the file could not be decoded, the codec library's words included
  };
  // Decodes the file at `path` and measures it: at most `seconds` of it (the
  // length its writer put there), and one second of codec slack.
  static Measured OfFile(const std::string& path, double seconds);
};
