// FormatCatalogue: the output formats that the conversion stream can produce from
// 16-bit PCM at a given rate and channel count. Non-GUI; the format chooser dialog
// lists these, grouped by FormatTag in the order returned.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoding/FormatEntry.h"

class FormatCatalogue {
 public:
  // Every format offered for 16-bit PCM input at samplerate Hz with Channels (1 or 2).
  static std::vector<FormatEntry> List(int32_t samplerate, int16_t Channels);
  // The distinct family names of List(), in first-seen order.
  static std::vector<std::string> Families(int32_t samplerate, int16_t Channels);
};
