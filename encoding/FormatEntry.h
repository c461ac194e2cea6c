// FormatEntry: one output format the converter can produce: the stored format
// record (WAVEFORMATEX with its cbSize extra bytes), its family name ("PCM",
// "IMA ADPCM", ...) and its description ("22.050 kHz, 4 Bit, Mono").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FormatEntry {
  std::vector<uint8_t> format;
  std::string FormatTag;
  std::string FormatID;
};
