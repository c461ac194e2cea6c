// DriftCompensator cost: one second of 48 kHz stereo noise, 500 ppm fast,
// pushed and pulled in the 20-per-second blocks of a recording.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "mixing/DriftCompensator.h"

namespace {

void CompensateOneSecond(benchmark::State& state) {
  constexpr int32_t kRate = 48000;
  constexpr int16_t kChannels = 2;
  constexpr int64_t kBlock = kRate / 20;
  constexpr double kFast = 1.0005;
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-20000, 20000);
  std::vector<int16_t> input(static_cast<size_t>(kBlock * 2 * kChannels));
  for (int16_t& sample : input) sample = static_cast<int16_t>(noise(random));
  std::vector<int16_t> out(static_cast<size_t>(kBlock * kChannels));
  DriftCompensator compensator(kRate, kChannels);
  int64_t pushed = 0;
  int64_t pulled = 0;
  for (auto _ : state) {
    for (int block = 0; block < 20; ++block) {
      const double wantedEnd = static_cast<double>(pulled + kBlock) * kFast;
      while (pushed < wantedEnd + kBlock) {
        compensator.Push(std::span(input).first(static_cast<size_t>(kBlock * kChannels)));
        pushed += kBlock;
      }
      compensator.Pull(out, wantedEnd);
      pulled += kBlock;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel("one second of 48 kHz stereo per iteration");
}

}  // namespace

BENCHMARK(CompensateOneSecond)->Unit(benchmark::kMicrosecond);
