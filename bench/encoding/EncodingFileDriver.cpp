// Encodes a raw 16-bit little-endian PCM file through EncoderWAV into one format
// family, or into one of the compressed file types at its setting, in the capture
// engine's 10240-byte blocks, and prints the input bytes, the seconds of the
// fastest of `repeats` runs (file writing included) and input bytes per second.
//
// usage: encoding_file_driver <family> <input.raw> <rate> <channels> <output> [repeats] [setting]
// family: pcm16 pcm8 alaw ulaw ima msadpcm gsm mp3 (WAV), flac opus mp3file (own file types)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FormatRecord.h"

namespace {

std::vector<uint8_t> FormatFor(const std::string& family, int32_t rate, int16_t channels) {
  if (family == "pcm16") return FormatRecord::PCM(rate, channels, 16).ToBytes();
  if (family == "pcm8") return FormatRecord::PCM(rate, channels, 8).ToBytes();
  if (family == "alaw") return FormatRecord::G711(WAVE_FORMAT_ALAW, rate, channels);
  if (family == "ulaw") return FormatRecord::G711(WAVE_FORMAT_MULAW, rate, channels);
  if (family == "ima") return FormatRecord::IMAADPCM(rate, channels);
  if (family == "msadpcm") return FormatRecord::MSADPCM(rate, channels);
  if (family == "gsm") return FormatRecord::GSM610();
  if (family == "mp3") return FormatRecord::MPEGLayer3(rate, channels, 128);
  return {};
}

// The encoder for `family`; null for an unknown one. `setting` (0: the type's
// default) is the compression level or bit rate of the compressed file types.
std::unique_ptr<Encoder> MakeEncoder(const std::string& family, int32_t rate, int16_t channels, int32_t setting) {
  std::unique_ptr<MuxedEncoder> typed;
  if (family == "flac") typed = std::make_unique<EncoderFLAC>();
  if (family == "opus") typed = std::make_unique<EncoderOpus>();
  if (family == "mp3file") typed = std::make_unique<EncoderMP3>();
  if (typed != nullptr) {
    if (setting > 0) typed->Setting(setting);
    return typed;
  }
  const auto format = FormatFor(family, rate, channels);
  if (format.empty()) return nullptr;
  auto wav = std::make_unique<EncoderWAV>();
  wav->SetFormat(format.data(), static_cast<int32_t>(format.size()), family, family);
  return wav;
}

// Seconds for one recording of `input`, or a negative value on failure.
double EncodeOnce(Encoder& encoder, const std::vector<uint8_t>& input, int32_t rate, int16_t channels,
                  const std::string& output) {
  constexpr size_t kBlock = 10240;
  const auto start = std::chrono::steady_clock::now();
  if (encoder.EncoderInit(rate, channels, output) != ENC_OK) return -1;
  for (size_t at = 0; at < input.size();) {
    const auto length = static_cast<int32_t>(std::min(kBlock, input.size() - at));
    int32_t used = 0;
    if (encoder.Encode(input.data() + at, length, used) != ENC_OK || used == 0) return -1;
    at += static_cast<size_t>(used);
  }
  encoder.EncoderClose();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s <family> <input.raw> <rate> <channels> <output> [repeats] [setting]\n", argv[0]);
    return 2;
  }
  const std::string family = argv[1];
  const auto rate = static_cast<int32_t>(std::atoi(argv[3]));
  const auto channels = static_cast<int16_t>(std::atoi(argv[4]));
  const int repeats = argc > 6 ? std::atoi(argv[6]) : 3;
  const int32_t setting = argc > 7 ? std::atoi(argv[7]) : 0;
  std::ifstream in(argv[2], std::ios::binary);
  const std::vector<uint8_t> input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto encoder = MakeEncoder(family, rate, channels, setting);
  if (input.empty() || encoder == nullptr) {
    std::fprintf(stderr, "no input or unknown family %s\n", family.c_str());
    return 2;
  }
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const double seconds = EncodeOnce(*encoder, input, rate, channels, argv[5]);
    if (seconds < 0) {
      std::fprintf(stderr, "encoding failed: %s\n", encoder->InitError().c_str());
      return 1;
    }
    best = std::min(best, seconds);
  }
  std::printf("%zu %.6f %.0f\n", input.size(), best, input.size() / best);
  return 0;
}
