// Runs the full effects chain over a raw 16-bit little-endian PCM file in capture-sized
// blocks (10240 bytes), as the recorder does while recording, and writes the result.
// Used by compare_sox.sh to time the chain against sox on the same file.
//
//   effects_file_driver <in.raw> <out.raw> [rate=44100] [channels=2] [EffectsUsed=15]
//
// Prints the audio length, the wall time of the whole run (reading, processing,
// writing) and the multiple of real time.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/clsDSP.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <in.raw> <out.raw> [rate] [channels] [EffectsUsed]\n", argv[0]);
    return 2;
  }
  const int32_t rate = argc > 3 ? std::atoi(argv[3]) : 44100;
  const int16_t channels = static_cast<int16_t>(argc > 4 ? std::atoi(argv[4]) : 2);
  const int32_t effects = argc > 5 ? std::atoi(argv[5]) : 15;

  const auto start = std::chrono::steady_clock::now();
  std::FILE* in = std::fopen(argv[1], "rb");
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!in || !out) {
    std::perror("open");
    return 1;
  }
  clsDSP dsp;
  dsp.samplerate(rate);
  dsp.Channels(channels);
  dsp.EffectsUsed(effects);
  // The same gains compare_sox.sh gives sox's seven equalizers.
  for (int32_t band = 0; band < dsp.EqualizerBands(); ++band) dsp.EqualizerBandGainDB(band, band % 2 ? 3.0f : -3.0f);

  std::vector<int16_t> block(10240 / sizeof(int16_t));
  std::size_t total = 0;
  for (;;) {
    const std::size_t got = std::fread(block.data(), sizeof(int16_t), block.size(), in);
    if (got == 0) break;
    dsp.ProcessSamples(std::span(block).first(got));
    if (std::fwrite(block.data(), sizeof(int16_t), got, out) != got) {
      std::perror("write");
      return 1;
    }
    total += got;
  }
  std::fclose(in);
  if (std::fclose(out) != 0) {
    std::perror("close");
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double audio = double(total) / (double(rate) * channels);
  std::printf("audio %.3f s  wall %.4f s  %.1fx real time  %.1f M samples/s\n", audio, seconds, audio / seconds,
              total / seconds / 1e6);
  return 0;
}
