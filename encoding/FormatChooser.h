// FormatChooser: the dialog EncoderWAV::SelectFormat asks for a target format.
// The main window supplies a Qt dialog; tests supply a scripted chooser.
#pragma once

#include <optional>
#include <string>

#include "common/WAVEFORMATEX.h"
#include "encoding/FormatEntry.h"

class FormatChooser {
 public:
  virtual ~FormatChooser() = default;

  // Lets the user pick a format convertible from `pcmInput`; nullopt when cancelled
  // or when the chooser failed.
  virtual std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) = 0;
};
