// FormatRecord: builds and reads the stored wave format records (WAVEFORMATEX
// plus its cbSize extra bytes) of every family the converter produces. Block
// sizes follow the usual conventions so other readers recognise the files:
// ADPCM blocks of 256 bytes per channel up to 11025 Hz, doubling with each
// doubling of the rate (the codecs take power-of-two blocks only).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/WAVEFORMATEX.h"

class FormatRecord {
 public:
  // Linear PCM; block align = bits / 8 x channels rounded half to even.
  static WAVEFORMATEX PCM(int32_t samplerate, int16_t channels, int16_t bits);
  // 8-bit G.711 (WAVE_FORMAT_ALAW or WAVE_FORMAT_MULAW), 18 bytes.
  static std::vector<uint8_t> G711(uint16_t formatTag, int32_t samplerate, int16_t channels);
  // IMA ADPCM, 4 bits: cbSize 2 holding wSamplesPerBlock.
  static std::vector<uint8_t> IMAADPCM(int32_t samplerate, int16_t channels);
  // MS ADPCM, 4 bits: cbSize 32 = wSamplesPerBlock, wNumCoef (7), seven coefficient pairs.
  static std::vector<uint8_t> MSADPCM(int32_t samplerate, int16_t channels);
  // GSM 6.10 at 8000 Hz mono: 65-byte blocks of 320 samples, cbSize 2.
  static std::vector<uint8_t> GSM610();
  // MPEG Layer-3 at `kbps` kbit/s: cbSize 12 (wID, fdwFlags, nBlockSize, nFramesPerBlock, nCodecDelay).
  static std::vector<uint8_t> MPEGLayer3(int32_t samplerate, int16_t channels, int32_t kbps);

  // Bytes per ADPCM block for this rate and channel count: 256 x channels x the
  // largest power of two not above max(1, rate / 11025).
  static int32_t ADPCMBlockAlign(int32_t samplerate, int16_t channels);
  // Samples per channel in one block of the given alignment.
  static int32_t IMASamplesPerBlock(int32_t blockAlign, int16_t channels);
  static int32_t MSSamplesPerBlock(int32_t blockAlign, int16_t channels);
  // Samples per channel in one MPEG Layer-3 frame: 1152 from 32000 Hz up, else 576.
  static int32_t MPEGFrameSamples(int32_t samplerate);

  // The standard MS ADPCM coefficient pairs, in stored order.
  static constexpr int16_t kMSCoefficients[7][2] = {{256, 0},   {512, -256}, {0, 0},     {192, 64},
                                                    {240, 0},   {460, -208}, {392, -232}};

  // Bytes of the older plain PCM record, which ends before cbSize.
  static constexpr int32_t kPCMWaveFormatSize = 16;
  // Length `record` takes when stored: 18 for a 16-byte PCM record (it gets
  // cbSize 0), its own length from 18 bytes on, 0 when it is no format record.
  static int32_t StoredLength(std::span<const uint8_t> record);

  // The 16-bit little-endian word at extra byte `offset` (after the 18-byte record),
  // or -1 when the record is too short or its cbSize does not cover it.
  static int32_t ExtraWord(std::span<const uint8_t> record, int32_t offset);
};
