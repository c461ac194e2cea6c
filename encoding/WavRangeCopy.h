// WavRangeCopy: writes the sample frames of a range of a WAV take into a new
// WAV file: the take's own format record, then the data bytes of the range
// as they are, so every kept sample is the same. Formats of whole-byte
// samples only (PCM, A-law, u-law), where a frame is the block alignment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoding/TrimRange.h"

class WavRangeCopy {
 public:
  // Empty on success, else why not (the system's words included).
  static std::string Copy(const std::string& take, const TrimRange& range, const std::string& target);

 private:
  struct Layout {
    std::vector<uint8_t> format;  // the "fmt " chunk's bytes
    int64_t dataStart = 0;
    int64_t dataBytes = 0;
    int32_t rate = 0;
    int32_t frameBytes = 0;
  };
  // Walks the take's chunks (at most a bounded number); empty on success.
  static std::string ReadLayout(int fd, int64_t fileLength, Layout& layout);
  static std::string CopyBytes(int from, int64_t offset, int64_t count, int to);
};
