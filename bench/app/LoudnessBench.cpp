// Loudness and true peak as the recording thread measures them: 60 s of
// pink-ish noise, 44100 Hz stereo, in 4410-frame blocks, loud (peaks at full
// scale) and moderate (peaks near -12 dBFS). Each case reports the CPU time per frame;
// times 44100 / 1e7 that is the share of one core in percent. The true peak's
// cost is a case's time less "ebur128_loudness_only" (the library work that
// stays): before, "ebur128_with_true_peak" (libebur128's own true peak); after,
// "LoudnessMeter". The detector alone is timed skipping and never skipping.
#include <benchmark/benchmark.h>
#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <span>
#include <vector>

#include "metering/ClipCounter.h"
#include "metering/LoudnessMeter.h"
#include "metering/TruePeakDetector.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int16_t kChannels = 2;
constexpr size_t kFrames = 60 * kRate;
constexpr size_t kBlockFrames = 4410;
constexpr int kLoudnessModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM;

// White noise through three one-pole low-passes of spread corners, summed: about
// -3 dB per octave over the audio band. Scaled so the loudest sample is `peak`.
std::vector<int16_t> PinkishNoise(double peak) {
  std::minstd_rand generator(7);
  std::normal_distribution<double> white(0.0, 1.0);
  std::vector<double> values(kFrames * kChannels);
  double states[kChannels][3] = {};
  constexpr double kPoles[3] = {0.997, 0.96, 0.6};
  constexpr double kWeights[3] = {0.03, 0.1, 0.5};
  for (size_t i = 0; i < values.size(); ++i) {
    double* state = states[i % kChannels];
    const double input = white(generator);
    values[i] = 0;
    for (int k = 0; k < 3; ++k) {
      state[k] = kPoles[k] * state[k] + (1 - kPoles[k]) * input;
      values[i] += kWeights[k] * state[k] / (1 - kPoles[k]);
    }
  }
  const double loudest = std::ranges::max(values, {}, [](double v) { return std::fabs(v); });
  std::vector<int16_t> samples(values.size());
  std::ranges::transform(values, samples.begin(), [&](double v) {
    return static_cast<int16_t>(std::lrint(std::fabs(v) / std::fabs(loudest) * peak * 32767.0) * (v < 0 ? -1 : 1));
  });
  return samples;
}

const std::vector<int16_t>& Input(int64_t loud) {
  static const std::vector<int16_t> kLoud = PinkishNoise(1.0);
  static const std::vector<int16_t> kModerate = PinkishNoise(0.25);
  return loud != 0 ? kLoud : kModerate;
}

// Runs `feed` over the whole input block by block, once per iteration.
void FeedBlocks(benchmark::State& state, const std::function<void()>& begin,
                const std::function<void(std::span<const int16_t>)>& feed) {
  const std::vector<int16_t>& input = Input(state.range(0));
  for (auto _ : state) {
    begin();
    for (size_t at = 0; at < input.size(); at += kBlockFrames * kChannels) {
      feed(std::span(input).subspan(at, std::min(kBlockFrames * kChannels, input.size() - at)));
    }
  }
  // Seconds per frame, shown with an SI prefix ("65n" is 65 ns).
  state.counters["per_frame"] = benchmark::Counter(
      static_cast<double>(kFrames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(state.range(0) != 0 ? "loud" : "moderate");
}

void Library(benchmark::State& state, int modes) {
  ebur128_state* library = nullptr;
  FeedBlocks(
      state,
      [&] {
        if (library != nullptr) ebur128_destroy(&library);
        library = ebur128_init(kChannels, kRate, modes);
      },
      [&](std::span<const int16_t> block) {
        ebur128_add_frames_short(library, block.data(), block.size() / kChannels);
        double peak = 0;
        for (unsigned channel = 0; channel < kChannels && (modes & EBUR128_MODE_TRUE_PEAK) != 0; ++channel) {
          ebur128_prev_true_peak(library, channel, &peak);
        }
        benchmark::DoNotOptimize(peak);
      });
  ebur128_destroy(&library);
}

void BM_ebur128_with_true_peak(benchmark::State& state) { Library(state, kLoudnessModes | EBUR128_MODE_TRUE_PEAK); }
void BM_ebur128_loudness_only(benchmark::State& state) { Library(state, kLoudnessModes); }

void BM_LoudnessMeter(benchmark::State& state) {
  LoudnessMeter meter;
  FeedBlocks(
      state, [&] { meter.Begin(kRate, kChannels); },
      [&](std::span<const int16_t> block) {
        meter.Add(block);
        benchmark::DoNotOptimize(meter.BlockTruePeakOverLimit(0) || meter.BlockTruePeakOverLimit(1));
      });
}

void Detector(benchmark::State& state, TruePeakDetector::Skipping skipping) {
  TruePeakDetector detector(skipping);
  FeedBlocks(
      state, [&] { detector.Begin(kRate, kChannels, ClipCounter::kTruePeakLimit); },
      [&](std::span<const int16_t> block) { detector.Add(block); });
  state.counters["filtered"] = static_cast<double>(detector.FilteredSamples()) / (kFrames * kChannels);
}

void BM_TruePeakDetector_skipping(benchmark::State& state) {
  Detector(state, TruePeakDetector::Skipping::ProvablyQuiet);
}
void BM_TruePeakDetector_never_skipping(benchmark::State& state) { Detector(state, TruePeakDetector::Skipping::Never); }

}  // namespace

BENCHMARK(BM_ebur128_with_true_peak)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ebur128_loudness_only)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoudnessMeter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TruePeakDetector_skipping)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TruePeakDetector_never_skipping)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
