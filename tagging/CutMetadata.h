// CutMetadata: gives the cut of a take (TakeTrimmer) the take's own markers
// and tags: the markers inside the kept part, counted from the cut's start,
// the title, date, program and comment, and the cut's own loudness (the
// take's was measured over the whole take, which the cut changes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "encoding/TrimRange.h"
#include "tagging/TakeMetadata.h"
#include "tagging/TakeMetadataWriter.h"

class CutMetadata {
 public:
  // What a cut holding `kept` of a take tagged with `take` is tagged with, the
  // loudness measured on the cut (none: no loudness fields).
  static TakeMetadata Kept(TakeMetadata take, const TrimRange& kept, std::optional<TakeMetadata::Loudness> loudness);
  // Reads the tags of `take` and writes what `cut` (holding `kept` of it,
  // of that `loudness`) gets, with its label file when markers remain. A take
  // without tags leaves the cut untagged.
  static TakeMetadataWriter::Result Carry(const std::string& take, const std::string& cut, const TrimRange& kept,
                                          std::optional<TakeMetadata::Loudness> loudness);
  // The file type the extension of `path` names (WAV for any other).
  static EncoderSelection::FileType TypeOfPath(const std::string& path);
  // The tags of the file at `take` (never through a link); returns why they cannot be read.
  static std::string Read(const std::string& take, EncoderSelection::FileType type, int32_t rate,
                          TakeMetadata& metadata);
};
