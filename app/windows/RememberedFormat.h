// RememberedFormat: a format chooser that, instead of asking, picks the
// catalogue's format with a remembered family and description, so a
// remembered WAV format goes through the same checks as one the user picks.
// Nothing when the catalogue no longer lists it for the input.
#pragma once

#include <string>

#include "encoding/FormatChooser.h"

class RememberedFormat : public FormatChooser {
 public:
  RememberedFormat(std::string formatTag, std::string formatId)
      : formatTag_(std::move(formatTag)), formatId_(std::move(formatId)) {}

  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) override;

 private:
  std::string formatTag_;
  std::string formatId_;
};
