// WavMetadataAppender: puts tag chunks after the audio of a finished WAV
// recording of ours, leaving the header and the audio as they are. The chunks
// (after a pad byte when the audio is odd-sized) reach the disk before the
// RIFF size grows to cover them, so a kill at any moment leaves either the
// bare recording or one the start-up repair brings back to it (WavFileRepair).
// Replacing tags works on a copy that takes the file's place in one rename
// (AtomicReplacement): the file holds the old tags or the new ones, never
// neither, at the cost of one pass over the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class WavMetadataAppender {
 public:
  // Appends `chunks` to the file at `path` (never through a link). Returns
  // the reason on failure, with the system's words; empty on success. A file
  // that is not a bare finished recording of ours (tagged already, foreign,
  // being recorded) is refused untouched.
  static std::string Append(const std::string& path, const std::vector<uint8_t>& chunks);

  // Makes the new chunks from the file open at `fd` (read only); returns why it cannot.
  using ChunkMaker = std::function<std::string(int fd, std::vector<uint8_t>& chunks)>;
  // Replaces the tag chunks after the audio of the recording of ours at `path`
  // (bare, tagged by us, or left by a kill while tagging) by what `make`
  // returns. Anything else is refused untouched, and so is the file when the
  // new chunks cannot be written.
  static std::string Replace(const std::string& path, const ChunkMaker& make);
};
