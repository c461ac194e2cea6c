// WavHeader: the RIFF WAVE header in front of the converted audio:
//   "RIFF" <N - 8> "WAVE" "fmt " <L> <L format bytes> "data" <N - (28 + L)>
// N = file length, L = stored format length (18 for PCM, 18 + cbSize otherwise).
// No "fact" chunk and no pad byte. Pure; the caller writes it at offset 0, which
// it may do at any moment of a recording (the data start never moves).
#pragma once

#include <cstdint>
#include <span>

class WavHeader {
 public:
  // Bytes before the audio data for a format of `formatLength` bytes.
  static constexpr int64_t Size(int64_t formatLength) { return formatLength + 28; }
  // Largest file the 32-bit size fields describe exactly.
  static constexpr int64_t kMaxFileLength = 0xFFFFFFFFLL;

  // Fills `out` (at least Size(format.size()) bytes) for a file of `fileLength`
  // bytes. Sizes are clamped to the 32-bit range; a file shorter than the header
  // gets a data size of 0.
  static void Build(std::span<const uint8_t> format, int64_t fileLength, std::span<uint8_t> out);
};
