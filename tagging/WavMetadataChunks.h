// WavMetadataChunks: the RIFF chunks that follow the audio of a tagged WAV
// file, in this order: "LIST"/"INFO" (INAM title, ICRD start, ISFT program,
// ICMT comment), with markers "cue " (one point per marker, ids from 1) and
// "LIST"/"adtl" ("labl" names), with loudness "bext" (version 2, its texts
// ASCII only), then "id3 " (the INFO texts as ID3v2.4 in UTF-8). INFO texts are
// UTF-8 too. Every chunk is padded to an even length. Pure; the caller
// validated the metadata.
#pragma once

#include <cstdint>
#include <vector>

#include "tagging/TakeMetadata.h"

class WavMetadataChunks {
 public:
  // `metadata.title` and `.software` are already filled in; markers sorted.
  static std::vector<uint8_t> Build(const TakeMetadata& metadata, int32_t rate);

  static constexpr uint32_t kBextSize = 602;  // the fixed part; no coding history
};
