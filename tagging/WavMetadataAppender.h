// WavMetadataAppender: puts tag chunks after the audio of a finished WAV
// recording of ours, leaving the header and the audio as they are. The chunks
// (after a pad byte when the audio is odd-sized) reach the disk before the
// RIFF size grows to cover them, so a kill at any moment leaves either the
// bare recording or one the start-up repair brings back to it (WavFileRepair).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class WavMetadataAppender {
 public:
  // Appends `chunks` to the file at `path` (never through a link). Returns
  // the reason on failure, with the system's words; empty on success. A file
  // that is not a bare finished recording of ours (tagged already, foreign,
  // being recorded) is refused untouched.
  static std::string Append(const std::string& path, const std::vector<uint8_t>& chunks);
};
