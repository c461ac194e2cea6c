#include "mixing/DriftCompensator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int32_t kRate = 48000;
constexpr int16_t kChannels = 2;
constexpr int64_t kBlock = kRate / 20;  // both inputs deliver 20 times a second

// One stereo click every half second of true time, on a device whose clock
// runs `ppm` fast: its click k falls on frame k * 24000 * (1 + ppm / 1e6).
std::vector<int16_t> ClickTrain(int64_t frames, double ppm) {
  std::vector<int16_t> samples(static_cast<size_t>(frames * kChannels), 0);
  for (int64_t k = 1;; ++k) {
    const auto at = std::llround(static_cast<double>(k * kRate / 2) * (1 + ppm / 1e6));
    if (at >= frames) break;
    samples[at * kChannels] = samples[at * kChannels + 1] = 20000;
  }
  return samples;
}

// The frame of the loudest sample within 5 ms of `expected`.
int64_t PeakNear(const std::vector<int16_t>& samples, int64_t expected) {
  int64_t best = expected;
  for (int64_t i = expected - kRate / 200; i <= expected + kRate / 200; ++i) {
    if (std::abs(samples[i * kChannels]) > std::abs(samples[best * kChannels])) best = i;
  }
  return best;
}

}  // namespace

TEST(DriftCompensatorTest, KeepsAFastSecondInputOnTheFirstClockForTwoMinutes) {
  constexpr double kPpm = 500;
  constexpr int64_t kFrames = int64_t{kRate} * 120;  // uncompensated, 60 ms apart at the end
  const std::vector<int16_t> second = ClickTrain(kFrames + kRate, kPpm);
  std::vector<int16_t> out(static_cast<size_t>(kFrames * kChannels));
  DriftCompensator compensator(kRate, kChannels);
  // The wanted positions come from capture times that jitter by up to 1 ms.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> jitter(-kRate / 1000.0, kRate / 1000.0);
  int64_t pushed = 0;
  double lastCorrections = 0;  // mean over the last 20 s
  for (int64_t at = 0; at < kFrames; at += kBlock) {
    const double wantedEnd = static_cast<double>(at + kBlock) * (1 + kPpm / 1e6) + jitter(random);
    // The second input's pieces arrive up to one delivery ahead.
    while (pushed < wantedEnd + kBlock) {
      compensator.Push(std::span(second).subspan(pushed * kChannels, kBlock * kChannels));
      pushed += kBlock;
    }
    compensator.Pull(std::span(out).subspan(at * kChannels, kBlock * kChannels), wantedEnd);
    if (at >= kFrames - kRate * 20) lastCorrections += compensator.Correction() / (20 * 20);
  }
  EXPECT_EQ(compensator.TakeShortfall(), 0);
  EXPECT_NEAR(lastCorrections, kPpm / 1e6, 20e-6);

  int64_t worst = 0;
  for (int64_t click = kRate / 2; click < kFrames - kRate / 100; click += kRate / 2) {
    const int64_t offset = PeakNear(out, click) - click;
    if (std::abs(offset) > std::abs(worst)) worst = offset;
  }
  std::printf("500 ppm over 120 s: worst offset %lld frames (%.3f ms), correction over the last 20 s %.1f ppm\n",
              static_cast<long long>(worst), worst * 1000.0 / kRate, lastCorrections * 1e6);
  EXPECT_LE(std::abs(worst), kRate * 2 / 1000);
}

TEST(DriftCompensatorTest, LateInputBecomesSilenceOfItsLengthAndWhatFollowsStaysAligned) {
  constexpr int64_t kFrames = int64_t{kRate} * 3;
  std::vector<int16_t> second(static_cast<size_t>(kFrames * kChannels));
  for (int64_t i = 0; i < kFrames; ++i) {
    second[i * kChannels] = second[i * kChannels + 1] =
        static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * 440 * i / kRate)));
  }
  std::vector<int16_t> out(second.size());
  DriftCompensator compensator(kRate, kChannels);
  const auto block = [&](int64_t from, int64_t frames) { return std::span(second).subspan(from * kChannels, frames * kChannels); };
  const auto pull = [&](int64_t at) {
    compensator.Pull(std::span(out).subspan(at * kChannels, kBlock * kChannels), static_cast<double>(at + kBlock));
  };

  compensator.Push(block(0, kRate));
  for (int64_t at = 0; at < kRate * 3 / 2; at += kBlock) pull(at);  // the last half second has not come
  const int64_t shortfall = compensator.TakeShortfall();
  EXPECT_NEAR(shortfall, kRate / 2, 32);  // the resampler's look-ahead waits for more
  int64_t silent = 0;
  for (int64_t i = kRate; i < kRate * 3 / 2; ++i) silent += out[i * kChannels] == 0 ? 1 : 0;
  EXPECT_GE(silent, kRate / 2 - 32);

  compensator.Push(block(kRate, kFrames - kRate));  // the late half second comes after all
  for (int64_t at = kRate * 3 / 2; at < kFrames - kBlock; at += kBlock) pull(at);
  EXPECT_EQ(compensator.TakeShortfall(), 0);
  int64_t worst = 0;
  for (int64_t i = kRate * 2; i < kFrames - kBlock; ++i) {
    worst = std::max<int64_t>(worst, std::abs(out[i * kChannels] - second[i * kChannels]));
  }
  EXPECT_LT(worst, 200);  // 2 % of the tone: on the same sample, not a block off
}
