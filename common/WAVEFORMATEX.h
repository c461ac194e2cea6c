// WAVEFORMATEX: the wave format record. 18 bytes packed, little-endian, exactly as
// it is stored in a RIFF "fmt " chunk; formats other than PCM are followed by
// cbSize extra bytes, which callers keep in a byte array after the record.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the wave format record is stored in host byte order");

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_ADPCM = 2;       // MS ADPCM
constexpr uint16_t WAVE_FORMAT_ALAW = 6;
constexpr uint16_t WAVE_FORMAT_MULAW = 7;
constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x11;
constexpr uint16_t WAVE_FORMAT_GSM610 = 0x31;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;

  static constexpr int32_t kSize = 18;

  // The record's 18 bytes as stored on disk.
  std::vector<uint8_t> ToBytes() const {
    std::vector<uint8_t> bytes(kSize);
    std::memcpy(bytes.data(), this, kSize);
    return bytes;
  }

  // Reads the first 18 bytes of a stored format (missing bytes stay zero).
  static WAVEFORMATEX FromBytes(std::span<const uint8_t> bytes) {
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, bytes.data(), bytes.size() < kSize ? bytes.size() : kSize);
    return wfx;
  }
};
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == WAVEFORMATEX::kSize, "WAVEFORMATEX must be 18 bytes");
