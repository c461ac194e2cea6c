// TagLibTagger: writes a take's tags and markers into a FLAC, Ogg Opus or MP3
// file through TagLib: Vorbis comments (TITLE, DATE, ENCODER, COMMENT,
// CHAPTERnnn/CHAPTERnnnNAME, REPLAYGAIN_* for FLAC, R128_TRACK_GAIN for Opus)
// or ID3v2.4 (TIT2, TDRC, TSSE, COMM, TXXX ReplayGain, CHAP frames under a
// CTOC; COMM in the texts' language). TagLib may rewrite the file in place, so
// the caller hands it a copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadata.h"

class TagLibTagger {
 public:
  // Tags the file open for reading and writing at `fd` (not taken over) as a
  // file of `type` (not WAV). Returns the reason on failure, empty on success.
  static std::string Tag(int fd, EncoderSelection::FileType type, int32_t rate, const TakeMetadata& metadata);
  // Replaces only the title, start, program and comment with those of
  // `texts` (filled in); markers, gains and every other field stay as they are.
  static std::string Retag(int fd, EncoderSelection::FileType type, const TakeMetadata& texts);
  // A whole ID3v2.4 tag in UTF-8 with the title, start, program and comment
  // of `texts` (filled in): what a WAV file carries for readers of that tag.
  static std::vector<uint8_t> Id3v2Texts(const TakeMetadata& texts);
};
