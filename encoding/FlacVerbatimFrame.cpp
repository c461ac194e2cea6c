#include "encoding/FlacVerbatimFrame.h"

#include <algorithm>
#include <array>
#include <cstddef>

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/crc.h>
}

namespace {

constexpr uint8_t kSyncHigh = 0xFF;
constexpr uint8_t kSyncFixedBlocks = 0xF8;   // sync code end, reserved 0, fixed block size
constexpr uint8_t kBlockSize8Bit = 0x60;     // block size - 1 follows in 8 bits
constexpr uint8_t kBlockSize16Bit = 0x70;    // ... in 16 bits
constexpr uint8_t kSixteenBits = 0x08;       // sample size code 4, reserved bit 0
constexpr uint8_t kVerbatimSubframe = 0x02;  // padding 0, type 000001, no wasted bits

// Rates with a code of their own, by code (0: none).
constexpr std::array<int, 12> kCodedRates = {0,     88200, 176400, 192000, 8000,  16000,
                                            22050, 24000, 32000,  44100,  48000, 96000};
constexpr uint8_t kRateKilohertz = 12;     // rate / 1000 follows in 8 bits
constexpr uint8_t kRateHertz = 13;         // rate follows in 16 bits
constexpr uint8_t kRateTensOfHertz = 14;   // rate / 10 follows in 16 bits

struct RateField {
  uint8_t code;
  std::vector<uint8_t> following;
};

RateField RateFieldOf(int rate) {
  const auto coded = std::find(kCodedRates.begin() + 1, kCodedRates.end(), rate);
  if (coded != kCodedRates.end()) return {static_cast<uint8_t>(coded - kCodedRates.begin()), {}};
  if (rate % 1000 == 0 && rate / 1000 <= 255) return {kRateKilohertz, {static_cast<uint8_t>(rate / 1000)}};
  if (rate <= 65535) return {kRateHertz, {static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)}};
  return {kRateTensOfHertz, {static_cast<uint8_t>(rate / 10 >> 8), static_cast<uint8_t>(rate / 10)}};
}

// The frame number in FLAC's UTF-8-like code: 1 byte up to 7 bits, else a lead
// byte and 6-bit continuation bytes.
void AppendCodedNumber(uint32_t value, std::vector<uint8_t>& out) {
  if (value < 0x80) {
    out.push_back(static_cast<uint8_t>(value));
    return;
  }
  int following = 1;
  while (following < 5 && value >= (1u << (6 * following + 6 - following))) ++following;
  const auto lead = static_cast<uint8_t>(0xFF00 >> (following + 1));
  out.push_back(static_cast<uint8_t>(lead | value >> (6 * following)));
  for (int i = following - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(0x80 | (value >> (6 * i) & 0x3F)));
}

}  // namespace

void FlacVerbatimFrame::Append(uint32_t frameNumber, std::span<const int16_t> samples, int channels, int rate,
                               std::vector<uint8_t>& out) {
  const size_t start = out.size();
  const auto frames = static_cast<uint32_t>(samples.size() / static_cast<size_t>(channels));
  const uint32_t stated = frames - 1;
  const RateField rateField = RateFieldOf(rate);
  out.push_back(kSyncHigh);
  out.push_back(kSyncFixedBlocks);
  out.push_back((stated < 256 ? kBlockSize8Bit : kBlockSize16Bit) | rateField.code);
  out.push_back(static_cast<uint8_t>((channels - 1) << 4 | kSixteenBits));  // independent channels
  AppendCodedNumber(frameNumber, out);
  if (stated >= 256) out.push_back(static_cast<uint8_t>(stated >> 8));
  out.push_back(static_cast<uint8_t>(stated));
  out.insert(out.end(), rateField.following.begin(), rateField.following.end());
  const auto header = static_cast<size_t>(out.size() - start);
  out.push_back(static_cast<uint8_t>(av_crc(av_crc_get_table(AV_CRC_8_ATM), 0, out.data() + start, header)));
  for (int c = 0; c < channels; ++c) {
    out.push_back(kVerbatimSubframe);
    for (size_t at = static_cast<size_t>(c); at < samples.size(); at += static_cast<size_t>(channels)) {
      const auto sample = static_cast<uint16_t>(samples[at]);
      out.push_back(static_cast<uint8_t>(sample >> 8));
      out.push_back(static_cast<uint8_t>(sample));
    }
  }
  // The table is byte-swapped for a most-significant-first CRC: swap the result back.
  const uint16_t crc = av_bswap16(static_cast<uint16_t>(
      av_crc(av_crc_get_table(AV_CRC_16_ANSI), 0, out.data() + start, out.size() - start)));
  out.push_back(static_cast<uint8_t>(crc >> 8));
  out.push_back(static_cast<uint8_t>(crc));
}
