#include "encoding/FormatCatalogue.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "encoding/FormatRecord.h"

namespace {

constexpr std::array<int32_t, 5> kPCMRates = {8000, 11025, 22050, 44100, 48000};
// Rates the MPEG Layer-3 encoder takes, and the usual bit rates (kbit/s) of each MPEG version.
constexpr std::array<int32_t, 9> kMPEGRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr std::array<int32_t, 8> kMPEG1Kbps = {32, 64, 96, 128, 160, 192, 256, 320};
constexpr std::array<int32_t, 9> kMPEG2Kbps = {8, 16, 24, 32, 48, 64, 96, 128, 160};
constexpr std::array<int32_t, 6> kMPEG25Kbps = {8, 16, 24, 32, 48, 64};

// "22.050 kHz"
std::string RateText(int32_t samplerate) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03d kHz", samplerate / 1000, samplerate % 1000);
  return text;
}

std::string ChannelText(int16_t channels) { return channels == 2 ? "Stereo" : "Mono"; }

// "22.050 kHz, 4 Bit, Mono"
std::string Describe(int32_t samplerate, int bits, int16_t channels) {
  return RateText(samplerate) + ", " + std::to_string(bits) + " Bit, " + ChannelText(channels);
}

void AddPCM(std::vector<FormatEntry>& list) {
  for (int32_t rate : kPCMRates) {
    for (int16_t bits : {int16_t{8}, int16_t{16}}) {
      for (int16_t channels : {int16_t{1}, int16_t{2}}) {
        list.push_back({FormatRecord::PCM(rate, channels, bits).ToBytes(), "PCM", Describe(rate, bits, channels)});
      }
    }
  }
}

void AddMPEGLayer3(std::vector<FormatEntry>& list, int32_t samplerate, int16_t channels) {
  if (std::find(kMPEGRates.begin(), kMPEGRates.end(), samplerate) == kMPEGRates.end()) return;
  std::span<const int32_t> rates = kMPEG25Kbps;
  if (samplerate >= 32000) rates = kMPEG1Kbps;
  else if (samplerate >= 16000) rates = kMPEG2Kbps;
  for (int32_t kbps : rates) {
    list.push_back({FormatRecord::MPEGLayer3(samplerate, channels, kbps), "MPEG Layer-3",
                    std::to_string(kbps) + " kBit/s, " + RateText(samplerate) + ", " + ChannelText(channels)});
  }
}

}  // namespace

std::vector<FormatEntry> FormatCatalogue::List(int32_t samplerate, int16_t Channels) {
  std::vector<FormatEntry> list;
  // The converter takes 16-bit PCM of 1 or 2 channels at 1000..192000 Hz.
  if (samplerate < 1000 || samplerate > 192000 || Channels < 1 || Channels > 2) return list;
  AddPCM(list);
  // The codecs keep the recording's rate and channel count.
  list.push_back({FormatRecord::G711(WAVE_FORMAT_ALAW, samplerate, Channels), "CCITT A-Law",
                  Describe(samplerate, 8, Channels)});
  list.push_back({FormatRecord::G711(WAVE_FORMAT_MULAW, samplerate, Channels), "CCITT u-Law",
                  Describe(samplerate, 8, Channels)});
  list.push_back({FormatRecord::IMAADPCM(samplerate, Channels), "IMA ADPCM", Describe(samplerate, 4, Channels)});
  list.push_back({FormatRecord::MSADPCM(samplerate, Channels), "MS ADPCM", Describe(samplerate, 4, Channels)});
  if (samplerate == 8000 && Channels == 1) {
    list.push_back({FormatRecord::GSM610(), "GSM 6.10", RateText(8000) + ", Mono"});
  }
  AddMPEGLayer3(list, samplerate, Channels);
  return list;
}

std::vector<std::string> FormatCatalogue::Families(int32_t samplerate, int16_t Channels) {
  std::vector<std::string> families;
  for (const FormatEntry& entry : List(samplerate, Channels)) {
    if (std::find(families.begin(), families.end(), entry.FormatTag) == families.end()) {
      families.push_back(entry.FormatTag);
    }
  }
  return families;
}
