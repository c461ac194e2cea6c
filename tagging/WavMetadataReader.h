// WavMetadataReader: reads back the markers and tags WavMetadataChunks wrote
// after the audio of a WAV file: INFO texts, cue points with their labels.
// The file may be anything: the walk visits a bounded number of chunks, reads
// only the tag chunks, each no larger than the writer makes them, and never
// follows a link. Loudness comes from "bext" as written (hundredths).
#pragma once

#include <string>

#include "tagging/TakeMetadata.h"

class WavMetadataReader {
 public:
  // Fills `metadata`; returns why the file could not be read (the system's
  // words where it has some), empty on success. A file without tag chunks
  // reads as empty metadata.
  static std::string Read(const std::string& path, TakeMetadata& metadata);
  // The same from the regular file open at `fd` (not taken over).
  static std::string Read(int fd, TakeMetadata& metadata);
};
