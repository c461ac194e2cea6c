// TruePeakDetector against libebur128's true peak, which it replaced, and
// against itself never skipping: loud and quiet noise, inter-sample overs,
// full-scale squares, every oversampling factor, odd block sizes down to 1 frame.
#include "metering/TruePeakDetector.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "metering/ClipCounter.h"

namespace {

constexpr double kLimit = ClipCounter::kTruePeakLimit;

// `frames` frames of `channels`, sample by sample from `value(frame, channel)` (full scale 1.0).
std::vector<int16_t> Samples(size_t frames, int16_t channels, const std::function<double(size_t, int)>& value) {
  std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < samples.size(); ++i) {
    const double scaled = 32767.0 * value(i / static_cast<size_t>(channels), static_cast<int>(i) % channels);
    samples[i] = static_cast<int16_t>(std::clamp(std::lrint(scaled), -32768L, 32767L));
  }
  return samples;
}

// A sine just below a quarter of the rate whose peaks fall between samples: about 3 dB over its samples.
std::function<double(size_t, int)> OversSine(double amplitude) {
  return [=](size_t frame, int channel) {
    return amplitude * std::sin(2 * std::numbers::pi * 0.2497 * frame + std::numbers::pi / 4 + channel);
  };
}

std::function<double(size_t, int)> Noise(double deviation, unsigned seed) {
  return [=, generator = std::make_shared<std::minstd_rand>(seed)](size_t, int) {
    return std::normal_distribution<double>(0.0, deviation)(*generator);
  };
}

// Alternating signs with a half-period jump every 12 samples: at 4x, a peak of
// 1.86 times the samples between the jump's two equal ones, the most any input can give.
double Jumps(size_t frame) { return (frame % 2 == 1) == (frame % 12 < 6) ? 1.0 : -1.0; }

// Level changes every few hundred frames, across the clip limit and back, with long quiet stretches.
std::function<double(size_t, int)> Crossing(unsigned seed) {
  auto generator = std::make_shared<std::minstd_rand>(seed);
  auto amplitude = std::make_shared<double>(0.5);
  return [=](size_t frame, int channel) {
    // Overs near the limit, and clipped far beyond it: then a chunk can matter to the block and not to the peak.
    static constexpr double kLevels[] = {0.02, 0.3, 0.97, 0.995, 0.6, 1.6, -0.55};  // < 0: jumps
    if (channel == 0 && std::uniform_int_distribution<int>(0, 400)(*generator) == 0) {
      *amplitude = kLevels[std::uniform_int_distribution<int>(0, 6)(*generator)];
    }
    return *amplitude < 0 ? -*amplitude * Jumps(frame) : OversSine(*amplitude)(frame, channel);
  };
}

// libebur128's own true peak, which the loudness meter used before.
struct LibraryTruePeak {
  LibraryTruePeak(int32_t rate, unsigned channels)
      : channels(channels), state(ebur128_init(channels, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK)) {}
  ~LibraryTruePeak() { ebur128_destroy(&state); }
  void Add(std::span<const int16_t> part) { ebur128_add_frames_short(state, part.data(), part.size() / channels); }
  double Peak(int (*query)(ebur128_state*, unsigned, double*), unsigned channel) const {
    double peak = 0;
    query(state, channel, &peak);
    return peak;
  }
  bool BlockExceeds(int16_t channel) const {
    return Peak(ebur128_prev_true_peak, static_cast<unsigned>(channel)) > kLimit;
  }
  double Peak() const { return std::max(Peak(ebur128_true_peak, 0), Peak(ebur128_true_peak, channels - 1)); }
  unsigned channels;
  ebur128_state* state;
};

// Feeds `samples` to both in blocks of `block` frames; the count of block answers that differ.
template <typename Reference>
int DifferingBlocks(TruePeakDetector& detector, Reference& reference, const std::vector<int16_t>& samples,
                    int16_t channels, size_t block) {
  int differing = 0;
  const size_t step = block * static_cast<size_t>(channels);
  for (size_t at = 0; at < samples.size(); at += step) {
    const auto part = std::span(samples).subspan(at, std::min(step, samples.size() - at));
    detector.Add(part);
    reference.Add(part);
    for (int16_t channel = 0; channel < channels; ++channel) {
      differing += detector.BlockExceeds(channel) != reference.BlockExceeds(channel) ? 1 : 0;
    }
  }
  return differing;
}

TEST(TruePeakDetectorTest, MatchesLibebur128AtEveryRateChannelCountAndBlockSize) {
  for (const int32_t rate : {44100, 48000, 96000, 192000}) {
    for (const int16_t channels : {int16_t{1}, int16_t{2}}) {
      const std::vector<std::vector<int16_t>> signals = {
          Samples(8000, channels, Noise(0.01, 1)), Samples(8000, channels, Noise(0.3, 2)),
          Samples(8000, channels, OversSine(0.98)),
          Samples(8000, channels, [](size_t frame, int) { return frame / 9 % 2 ? 1.0 : -1.0; })};
      for (const std::vector<int16_t>& signal : signals) {
        for (const size_t block : {size_t{1}, size_t{7}, size_t{1021}}) {
          TruePeakDetector detector;
          ASSERT_TRUE(detector.Begin(rate, channels, kLimit));
          LibraryTruePeak reference(rate, static_cast<unsigned>(channels));
          EXPECT_EQ(DifferingBlocks(detector, reference, signal, channels, block), 0);
          // The tags a recording carries keep their bytes only if it is the same to the last bit.
          EXPECT_EQ(detector.Peak(), reference.Peak()) << rate << " Hz, " << channels << " channels, " << block;
          if (&signal == &signals[2] && rate < 192000) {
            // Samples at -3.2 dBFS; the filter's ripple near a quarter of the rate is under 0.1 dB.
            EXPECT_NEAR(20 * std::log10(detector.Peak()), 20 * std::log10(0.98), 0.12) << rate << " Hz";
          }
        }
      }
    }
  }
}

TEST(TruePeakDetectorTest, SkippingNeverChangesThePeakOrAClipDecision) {
  for (const int32_t rate : {44100, 96000}) {
    for (const int16_t channels : {int16_t{1}, int16_t{2}}) {
      const std::vector<int16_t> signal = Samples(200000, channels, Crossing(static_cast<unsigned>(rate + channels)));
      TruePeakDetector skipping;
      TruePeakDetector never(TruePeakDetector::Skipping::Never);
      ASSERT_TRUE(skipping.Begin(rate, channels, kLimit));
      ASSERT_TRUE(never.Begin(rate, channels, kLimit));
      for (const size_t block : {size_t{1}, size_t{5}, size_t{300}, size_t{4410}}) {
        EXPECT_EQ(DifferingBlocks(skipping, never, signal, channels, block), 0) << "blocks of " << block;
        EXPECT_EQ(skipping.Peak(), never.Peak());
      }
      EXPECT_LT(skipping.FilteredSamples(), never.FilteredSamples() * 3 / 4) << "quiet stretches skipped";
    }
  }
}

}  // namespace
