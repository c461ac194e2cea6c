// TagLibMetadataReader: reads back the markers and tags TagLibTagger wrote
// into a FLAC, Ogg Opus or MP3 file (Vorbis comments with CHAPTERnnn, ID3v2
// with CHAP). Marker times are in milliseconds there; they come back as frames
// at `rate`. Texts and the number of markers are cut to what the writer takes.
// Loudness is not read.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadata.h"

class TagLibMetadataReader {
 public:
  // Reads the file open at `fd` (not taken over); returns why it could not,
  // empty on success.
  static std::string Read(int fd, EncoderSelection::FileType type, int32_t rate, TakeMetadata& metadata);
};
