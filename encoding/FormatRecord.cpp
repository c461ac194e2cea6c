#include "encoding/FormatRecord.h"

#include <algorithm>
#include <bit>

#include "common/SampleMath.h"

namespace {

// Appends a little-endian value of `size` bytes.
void Put(std::vector<uint8_t>& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Record(const WAVEFORMATEX& wfx) { return wfx.ToBytes(); }

WAVEFORMATEX Header(uint16_t tag, int32_t samplerate, int16_t channels, uint32_t avgBytes, uint16_t blockAlign,
                    uint16_t bits, uint16_t extra) {
  WAVEFORMATEX wfx;
  wfx.wFormatTag = tag;
  wfx.nChannels = static_cast<uint16_t>(channels);
  wfx.nSamplesPerSec = static_cast<uint32_t>(samplerate);
  wfx.nAvgBytesPerSec = avgBytes;
  wfx.nBlockAlign = blockAlign;
  wfx.wBitsPerSample = bits;
  wfx.cbSize = extra;
  return wfx;
}

// Average bytes per second of a block codec: rate x block align / samples per block.
uint32_t BlockAvgBytes(int32_t samplerate, int32_t blockAlign, int32_t samplesPerBlock) {
  return static_cast<uint32_t>(static_cast<int64_t>(samplerate) * blockAlign / samplesPerBlock);
}

// A 4-bit ADPCM record whose extra bytes start with wSamplesPerBlock.
std::vector<uint8_t> ADPCMRecord(uint16_t tag, int32_t samplerate, int16_t channels, int32_t blockAlign,
                                 int32_t samplesPerBlock, uint16_t extra) {
  auto bytes = Record(Header(tag, samplerate, channels, BlockAvgBytes(samplerate, blockAlign, samplesPerBlock),
                             static_cast<uint16_t>(blockAlign), 4, extra));
  Put(bytes, static_cast<uint32_t>(samplesPerBlock), 2);
  return bytes;
}

}  // namespace

WAVEFORMATEX FormatRecord::PCM(int32_t samplerate, int16_t channels, int16_t bits) {
  const auto blockAlign = static_cast<uint16_t>(RoundToInt32(bits / 8.0 * channels));
  return Header(WAVE_FORMAT_PCM, samplerate, channels, static_cast<uint32_t>(blockAlign) * samplerate, blockAlign,
                static_cast<uint16_t>(bits), 0);
}

std::vector<uint8_t> FormatRecord::G711(uint16_t formatTag, int32_t samplerate, int16_t channels) {
  return Record(Header(formatTag, samplerate, channels, static_cast<uint32_t>(samplerate) * channels,
                       static_cast<uint16_t>(channels), 8, 0));
}

int32_t FormatRecord::ADPCMBlockAlign(int32_t samplerate, int16_t channels) {
  // The ADPCM encoders take power-of-two blocks only: 3 .. 7 times 11025 Hz round down.
  const auto steps = static_cast<uint32_t>(std::max(1, samplerate / 11025));
  return 256 * channels * static_cast<int32_t>(std::bit_floor(steps));
}

int32_t FormatRecord::IMASamplesPerBlock(int32_t blockAlign, int16_t channels) {
  // 4 header bytes per channel, then two samples per byte; the header holds one sample.
  return (blockAlign - 4 * channels) * 8 / (4 * channels) + 1;
}

int32_t FormatRecord::MSSamplesPerBlock(int32_t blockAlign, int16_t channels) {
  // 7 header bytes per channel holding two samples, then two samples per byte.
  return (blockAlign - 7 * channels) * 8 / (4 * channels) + 2;
}

int32_t FormatRecord::MPEGFrameSamples(int32_t samplerate) { return samplerate >= 32000 ? 1152 : 576; }

std::vector<uint8_t> FormatRecord::IMAADPCM(int32_t samplerate, int16_t channels) {
  const int32_t blockAlign = ADPCMBlockAlign(samplerate, channels);
  return ADPCMRecord(WAVE_FORMAT_IMA_ADPCM, samplerate, channels, blockAlign, IMASamplesPerBlock(blockAlign, channels),
                     2);
}

std::vector<uint8_t> FormatRecord::MSADPCM(int32_t samplerate, int16_t channels) {
  const int32_t blockAlign = ADPCMBlockAlign(samplerate, channels);
  auto bytes = ADPCMRecord(WAVE_FORMAT_ADPCM, samplerate, channels, blockAlign, MSSamplesPerBlock(blockAlign, channels),
                           32);
  Put(bytes, 7, 2);
  for (const auto& pair : kMSCoefficients) {
    Put(bytes, static_cast<uint16_t>(pair[0]), 2);
    Put(bytes, static_cast<uint16_t>(pair[1]), 2);
  }
  return bytes;
}

std::vector<uint8_t> FormatRecord::GSM610() {
  auto bytes = Record(Header(WAVE_FORMAT_GSM610, 8000, 1, 1625, 65, 0, 2));
  Put(bytes, 320, 2);
  return bytes;
}

std::vector<uint8_t> FormatRecord::MPEGLayer3(int32_t samplerate, int16_t channels, int32_t kbps) {
  auto bytes = Record(Header(WAVE_FORMAT_MPEGLAYER3, samplerate, channels, static_cast<uint32_t>(kbps) * 125, 1, 0, 12));
  // Frame bytes without padding: samples per frame / 8 x bit rate / rate.
  const int32_t blockSize = MPEGFrameSamples(samplerate) / 8 * kbps * 1000 / samplerate;
  Put(bytes, 1, 2);  // wID: MPEGLAYER3_ID_MPEG
  Put(bytes, 0, 4);  // fdwFlags: ISO padding, the encoder pads frames to keep the bit rate exact
  Put(bytes, static_cast<uint32_t>(blockSize), 2);
  Put(bytes, 1, 2);  // nFramesPerBlock
  Put(bytes, 0, 2);  // nCodecDelay: not announced
  return bytes;
}

int32_t FormatRecord::StoredLength(std::span<const uint8_t> record) {
  const auto length = static_cast<int32_t>(std::min<size_t>(record.size(), INT32_MAX));
  if (length >= WAVEFORMATEX::kSize) return length;
  const bool plainPCM = length == kPCMWaveFormatSize && WAVEFORMATEX::FromBytes(record).wFormatTag == WAVE_FORMAT_PCM;
  return plainPCM ? WAVEFORMATEX::kSize : 0;
}

int32_t FormatRecord::ExtraWord(std::span<const uint8_t> record, int32_t offset) {
  const auto base = static_cast<size_t>(WAVEFORMATEX::kSize) + static_cast<size_t>(offset);
  if (offset < 0 || record.size() < base + 2) return -1;
  const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(record);
  if (wfx.cbSize < offset + 2) return -1;
  return record[base] | (record[base + 1] << 8);
}
