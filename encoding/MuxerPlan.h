// MuxerPlan: what an AudioMuxer is to write: which container and codec (by their
// names in the codec libraries), the rate the codec is fed at, and its setting.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct MuxerPlan {
  std::string container;          // muxer name: "flac", "opus", "mp3"
  std::string codec;              // encoder name: "flac", "libopus", "libmp3lame"
  int32_t outputRate = 0;         // Hz the codec runs at; the input is resampled when it differs
  int64_t bitRate = 0;            // bit/s; 0 leaves the codec's default
  int32_t compressionLevel = -1;  // codec's compression level; -1 leaves its default
  // Muxer options by name, e.g. {"id3v2_version", "0"}.
  std::vector<std::pair<std::string, std::string>> containerOptions{};
  // Codec options by name for the fresh codec a checkpoint encodes the held-back
  // audio with, e.g. {"reservoir", "0"}: frames that need none before them.
  std::vector<std::pair<std::string, std::string>> catchUpOptions{};
};
