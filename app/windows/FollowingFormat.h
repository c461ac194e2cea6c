// FollowingFormat: a format chooser that, instead of asking, keeps the WAV
// coding in use (family, bits per sample, and the bit rate where the family
// offers it at the new input) at the input's own rate and channel count, so
// the WAV format follows a rate or stereo change made while another file
// type was chosen. Nothing when the catalogue has no such format for the
// input (a typed rate PCM does not offer): the format in use stays.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "encoding/FormatChooser.h"

class FollowingFormat : public FormatChooser {
 public:
  // `formatTag`: the family in use ("PCM"); `format`: its stored record.
  FollowingFormat(std::string formatTag, std::span<const uint8_t> format);

  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) override;

 private:
  std::string formatTag_;
  WAVEFORMATEX inUse_;
};
