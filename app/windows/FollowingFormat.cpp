#include "app/windows/FollowingFormat.h"

#include "encoding/FormatCatalogue.h"

FollowingFormat::FollowingFormat(std::string formatTag, std::span<const uint8_t> format)
    : formatTag_(std::move(formatTag)), inUse_(WAVEFORMATEX::FromBytes(format)) {}

std::optional<FormatEntry> FollowingFormat::Choose(const WAVEFORMATEX& pcmInput, const std::string&) {
  std::optional<FormatEntry> sameCoding;
  for (FormatEntry& entry : FormatCatalogue::List(static_cast<int32_t>(pcmInput.nSamplesPerSec),
                                                  static_cast<int16_t>(pcmInput.nChannels))) {
    const WAVEFORMATEX format = WAVEFORMATEX::FromBytes(entry.format);
    if (entry.FormatTag != formatTag_ || format.wBitsPerSample != inUse_.wBitsPerSample ||
        format.nSamplesPerSec != pcmInput.nSamplesPerSec || format.nChannels != pcmInput.nChannels) {
      continue;
    }
    if (format.nAvgBytesPerSec == inUse_.nAvgBytesPerSec) return std::move(entry);
    if (!sameCoding) sameCoding = std::move(entry);
  }
  return sameCoding;
}
