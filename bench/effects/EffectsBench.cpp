// Throughput of clsDSP::ProcessSamples on capture-sized blocks (10240 bytes, 44100 Hz
// stereo), each effect alone and all four, in samples per second and as a multiple
// of real time (88200 samples per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "effects/clsDSP.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int16_t kChannels = 2;
constexpr std::size_t kBlockSamples = 10240 / sizeof(int16_t);
constexpr double kSamplesPerSecond = double(kRate) * kChannels;

// Music-like test block: two tones plus a little noise, well below full scale.
std::vector<int16_t> TestBlock() {
  std::vector<int16_t> block(kBlockSamples);
  unsigned noise = 1;
  for (std::size_t n = 0; n < block.size(); ++n) {
    const double t = double(n / kChannels) / kRate;
    noise = noise * 1103515245u + 12345u;
    const double v = 6000 * std::sin(2 * std::numbers::pi * 220 * t) + 3000 * std::sin(2 * std::numbers::pi * 3150 * t) +
                     double((noise >> 16) % 1001) - 500;
    block[n] = static_cast<int16_t>(std::lround(v));
  }
  return block;
}

void BM_ProcessSamples(benchmark::State& state) {
  clsDSP dsp;
  dsp.samplerate(kRate);
  dsp.Channels(kChannels);
  dsp.EffectsUsed(static_cast<int32_t>(state.range(0)));
  for (int32_t band = 0; band < dsp.EqualizerBands(); ++band) dsp.EqualizerBandGainDB(band, band % 2 ? 3.0f : -3.0f);
  const std::vector<int16_t> source = TestBlock();
  std::vector<int16_t> block = source;
  for (auto _ : state) {
    // Fresh input each round so saturation cannot build up; the copy is 10 kB.
    std::copy(source.begin(), source.end(), block.begin());
    dsp.ProcessSamples(block);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kBlockSamples));
  state.counters["x_realtime"] =
      benchmark::Counter(double(state.iterations()) * kBlockSamples / kSamplesPerSecond, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ProcessSamples)
    ->ArgName("EffectsUsed")
    ->Arg(FX_AMPLIFY)
    ->Arg(FX_ECHO)
    ->Arg(FX_PHASESHIFT)
    ->Arg(FX_EQUALIZER)
    ->Arg(FX_AMPLIFY | FX_ECHO | FX_PHASESHIFT | FX_EQUALIZER);

BENCHMARK_MAIN();
