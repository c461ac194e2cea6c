#include "app/windows/RememberedFormat.h"

#include "encoding/FormatCatalogue.h"

std::optional<FormatEntry> RememberedFormat::Choose(const WAVEFORMATEX& pcmInput, const std::string&) {
  for (FormatEntry& entry : FormatCatalogue::List(static_cast<int32_t>(pcmInput.nSamplesPerSec),
                                                  static_cast<int16_t>(pcmInput.nChannels))) {
    if (entry.FormatTag == formatTag_ && entry.FormatID == formatId_) return std::move(entry);
  }
  return std::nullopt;
}
