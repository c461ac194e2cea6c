// Cost of the echo canceller: one second of 48 kHz stereo per iteration, in
// capture-sized blocks (1/20 s, the capture driver's delivery), so the CPU time
// per iteration is the time per second of audio; the goal is at most 20 ms
// (2 % of a core). x_realtime gives the same as a multiple of real time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "mixing/MakeEchoCanceller.h"

namespace {

constexpr int32_t kRate = 48000;
constexpr int16_t kChannels = 2;
constexpr size_t kBlockFrames = kRate / 20;
constexpr size_t kEchoDelayFrames = kRate * 40 / 1000;

// What plays: noise bursts and a tone, speech-like in that it comes and goes.
std::vector<int16_t> Played(size_t frames) {
  std::vector<int16_t> played(frames * kChannels);
  unsigned noise = 1;
  for (size_t n = 0; n < frames; ++n) {
    noise = noise * 1103515245u + 12345u;
    const double t = double(n) / kRate;
    const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 3 * t);
    const double value =
        envelope * (4000 * std::sin(2 * std::numbers::pi * 310 * t) + double((noise >> 16) % 4001) - 2000);
    for (int16_t channel = 0; channel < kChannels; ++channel)
      played[n * kChannels + channel] = int16_t(std::lround(value));
  }
  return played;
}

// The microphone: the played sound 40 ms late and 6 dB down, over a tone of its own.
std::vector<int16_t> Heard(const std::vector<int16_t>& played) {
  std::vector<int16_t> heard(played.size());
  for (size_t i = 0; i < heard.size(); ++i) {
    const double t = double(i / kChannels) / kRate;
    const double echo = i >= kEchoDelayFrames * kChannels ? played[i - kEchoDelayFrames * kChannels] / 2 : 0;
    heard[i] = int16_t(std::lround(echo + 3000 * std::sin(2 * std::numbers::pi * 523 * t)));
  }
  return heard;
}

void BM_EchoCancellerOneSecond(benchmark::State& state) {
  const auto canceller = MakeEchoCanceller(kRate, kChannels);
  const std::vector<int16_t> played = Played(kRate);
  const std::vector<int16_t> heard = Heard(played);
  std::vector<int16_t> block(kBlockFrames * kChannels);
  for (auto _ : state) {
    for (size_t at = 0; at < heard.size(); at += block.size()) {
      std::copy_n(heard.begin() + at, block.size(), block.begin());
      canceller->Process(block, std::span(played).subspan(at, block.size()));
      benchmark::DoNotOptimize(block.data());
    }
  }
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_EchoCancellerOneSecond)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
