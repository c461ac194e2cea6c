// The second input against a private audio server: one click train reaches
// two pipe sources at the same moment; pulled beside the first input's
// blocks, the second's clicks land on the first's samples, and a second of
// input the second never got is a second of silence and a Loss.
#include "app/recording/PulseSecondInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture/WaveInRecorder.h"
#include "tests/capture/EventPump.h"
#include "tests/support/CaptureHandlers.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

constexpr int32_t kRate = 48000;
constexpr int16_t kChannels = 2;
constexpr int64_t kClickSpacing = kRate / 4;
constexpr int16_t kClick = 20000;
constexpr int64_t kSecondOpensAt = kRate * 3 / 4;

// A click every quarter second from 0.1 s, on silence or on a steady `floor`.
std::vector<int16_t> ClickTrain(int64_t frames, int16_t floor = 0) {
  std::vector<int16_t> samples(static_cast<size_t>(frames * kChannels), floor);
  for (int64_t at = kRate / 10; at < frames; at += kClickSpacing) {
    samples[at * kChannels] = samples[at * kChannels + 1] = kClick;
  }
  return samples;
}

// Noise played into the daemon's null sink by a client with a long buffer
// (as a music player's), until destroyed: the sink renders ahead and its
// monitor hands its input over in long runs.
class NoisePlayer {
 public:
  NoisePlayer() {
    pid_ = fork();
    if (pid_ != 0) return;
    setpgid(0, 0);
    execlp("sh", "sh", "-c",
           "sox -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 60 whitenoise vol 0.3 | "
           "pacat --playback -d tamblin_null --rate 48000 --channels 2 --format s16le --raw",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  ~NoisePlayer() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

class PulseSecondInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon_.Running()) << daemon_.Log();
    EnsureEventLoop();
    ASSERT_TRUE(first_.Loaded());
    ASSERT_TRUE(second_.Loaded());
  }

  // Starts both inputs, feeds `frames` of clicks to the first (and, mirrored,
  // the second) and pulls the second beside each of the first's blocks until
  // the first has `frames`. The second opens `secondOpensAt_` frames into the
  // first; at 0, before any input comes, as at a take's start.
  void Record(int64_t frames) {
    int32_t device = -1;
    for (int32_t i = 0; i < recorder_.DeviceCount(); ++i) {
      if (recorder_.DeviceName(i) == first_.Description()) device = i;
    }
    ASSERT_TRUE(recorder_.SelectDevice(device));
    handlers_.gotData = [this](std::span<int16_t> intBuffer, int32_t& lngLen) {
      const auto count = static_cast<size_t>(lngLen / 2);
      const auto firstFrame = static_cast<int64_t>(firstSamples_.size()) / kChannels;
      firstSamples_.insert(firstSamples_.end(), intBuffer.begin(), intBuffer.begin() + static_cast<long>(count));
      secondSamples_.resize(firstSamples_.size());
      if (!input_) return;
      input_->Pull(firstFrame, std::span(secondSamples_).last(count));
      for (SecondInput::Loss& loss : input_->TakeLosses()) losses_.push_back(loss);
    };
    recorder_.Sink(&handlers_);
    recorder_.FragmentsPerSecond(deliveriesPerSecond_);
    ASSERT_TRUE(recorder_.StartRecord(kRate, kChannels)) << recorder_.StartFailure();
    if (secondOpensAt_ == 0) OpenSecond();
    // Fed on past the end, so the second input's last stretch is not short.
    first_.Feed(ClickTrain(frames + kRate / 2, floor_));
    // Opened well after the first, the second input's frame 0 is not the first's.
    ASSERT_TRUE(PumpUntil([&] { return firstSamples_.size() >= static_cast<size_t>(secondOpensAt_ * kChannels); }));
    if (!input_) OpenSecond();
    if (midway_) {
      ASSERT_TRUE(PumpUntil([&] { return firstSamples_.size() >= static_cast<size_t>(frames / 2 * kChannels); }));
      midway_();
    }
    ASSERT_TRUE(PumpUntil([&] { return firstSamples_.size() >= static_cast<size_t>(frames * kChannels); }));
    recorder_.StopRecord();
    input_->Close();
    first_.StopFeeding();
  }

  void OpenSecond() {
    input_ = PulseSecondInput::Create(recorder_, deliveriesPerSecond_);
    ASSERT_EQ(input_->Open(secondSource_.empty() ? second_.SourceName() : secondSource_, kRate, kChannels), "");
  }

  // Frames of the second input's silence before its first sound, counted
  // from the first input's first sound (both fed with a non-silent floor).
  int64_t SilentStart() const {
    const auto firstSound = [](const std::vector<int16_t>& samples) {
      const auto sound = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
      return static_cast<int64_t>(sound - samples.begin()) / kChannels;
    };
    return firstSound(secondSamples_) - firstSound(firstSamples_);
  }

  // A take with both inputs from its start: the second is there from the
  // first click on (the first input's 0.1 s) and on the first's samples.
  void ExpectAlignedFromTheStart() {
    floor_ = 64;
    secondOpensAt_ = 0;
    first_.Mirror(second_);
    Record(kRate);
    std::printf("at %u deliveries a second: silent start %lld frames\n", deliveriesPerSecond_,
                static_cast<long long>(SilentStart()));
    const int64_t worst = WorstOffset(0, kRate - kRate / 10);
    std::printf("from the start: worst click offset %.3f ms\n", worst * 1000.0 / kRate);
    EXPECT_LE(std::abs(worst), kRate / 1000);
    EXPECT_LT(SilentStart(), kRate / 10);
    EXPECT_TRUE(losses_.empty());
  }

  // The first input's clicks (exact) and the second's loudest sample within
  // 10 ms of each: how far apart they are, in frames, the worst one.
  int64_t WorstOffset(int64_t from, int64_t to) const {
    int64_t worst = 0;
    int clicks = 0;
    for (int64_t at = from; at < to; ++at) {
      if (firstSamples_[at * kChannels] != kClick) continue;
      ++clicks;
      int64_t peak = at;
      for (int64_t i = at - kRate / 100; i <= at + kRate / 100; ++i) {
        if (std::abs(secondSamples_[i * kChannels]) > std::abs(secondSamples_[peak * kChannels])) peak = i;
      }
      EXPECT_GT(std::abs(secondSamples_[peak * kChannels]), kClick / 4) << "no click near frame " << at;
      if (std::abs(peak - at) > std::abs(worst)) worst = peak - at;
    }
    EXPECT_GT(clicks, 2);
    return worst;
  }

  PrivatePulseDaemon daemon_;
  PipeSourceFeeder first_{PipeSourceFeeder::UniqueName("first"), kRate, kChannels, "First-Input"};
  PipeSourceFeeder second_{PipeSourceFeeder::UniqueName("second"), kRate, kChannels, "Second-Input"};
  WaveInRecorder recorder_;
  CaptureHandlers handlers_;
  std::unique_ptr<SecondInput> input_;
  std::vector<int16_t> firstSamples_;
  std::vector<int16_t> secondSamples_;
  std::vector<SecondInput::Loss> losses_;
  std::function<void()> midway_;  // done when the first input is half way
  int64_t secondOpensAt_ = kSecondOpensAt;
  uint32_t deliveriesPerSecond_ = 20;
  int16_t floor_ = 0;
  std::string secondSource_;  // empty: the second pipe source
};

}  // namespace

TEST_F(PulseSecondInputTest, ASoundReachingBothInputsAtOnceLandsOnTheSameSample) {
  first_.Mirror(second_);
  Record(kRate * 4);
  // Silence before the second input opened, its clicks on the first's from its first block on.
  const int64_t aligned = kSecondOpensAt + kRate / 10;
  for (int64_t i = 0; i < kSecondOpensAt; ++i) ASSERT_EQ(secondSamples_[i * kChannels], 0) << "frame " << i;
  const int64_t worst = WorstOffset(aligned, kRate * 4 - kRate / 10);
  std::printf("alignment: worst click offset %.3f ms\n", worst * 1000.0 / kRate);
  // Typically under 0.2 ms; the bound leaves room for a busy machine, whose
  // late timing readings the loop takes a few seconds to outgrow.
  EXPECT_LE(std::abs(worst), kRate * 5 / 1000);
  EXPECT_TRUE(losses_.empty());
}

TEST_F(PulseSecondInputTest, AtTwentyDeliveriesASecondTheSecondInputIsAlignedFromTheTakesStart) {
  ExpectAlignedFromTheStart();
}

TEST_F(PulseSecondInputTest, AtFourDeliveriesASecondTheSecondInputIsAlignedFromTheTakesStart) {
  deliveriesPerSecond_ = 4;
  ExpectAlignedFromTheStart();
}

TEST_F(PulseSecondInputTest, ASecondTheSecondInputMissedIsASecondOfSilenceAndALoss) {
  constexpr size_t kFrameBytes = kChannels * 2;
  constexpr size_t kMuteFrom = 110 * PipeSourceFeeder::kChunkBytes;  // 2.347 s
  constexpr size_t kMuteBytes = 47 * PipeSourceFeeder::kChunkBytes;  // 1.003 s
  constexpr auto kMuteFrame = static_cast<int64_t>(kMuteFrom / kFrameBytes);
  constexpr auto kMutedFrames = static_cast<int64_t>(kMuteBytes / kFrameBytes);
  first_.Mirror(second_, kMuteFrom, kMuteBytes);
  Record(kRate * 5);

  // Told in pieces as the blocks come (late, then missing): one run.
  for (size_t i = 1; i < losses_.size();) {
    if (std::abs(losses_[i - 1].firstFrame + losses_[i - 1].frames - losses_[i].firstFrame) > kRate / 1000) {
      ++i;
      continue;
    }
    losses_[i - 1].frames = losses_[i].firstFrame + losses_[i].frames - losses_[i - 1].firstFrame;
    losses_.erase(losses_.begin() + static_cast<long>(i));
  }
  ASSERT_EQ(losses_.size(), 1u);
  std::printf("loss: at %lld for %lld frames (muted: at %lld for %lld)\n",
              static_cast<long long>(losses_[0].firstFrame), static_cast<long long>(losses_[0].frames),
              static_cast<long long>(kMuteFrame), static_cast<long long>(kMutedFrames));
  EXPECT_FALSE(losses_[0].vanished);
  // Where the pause ends shows in when the input comes again: typically to
  // half a ms, a few ms on a busy machine (the loop then closes the rest).
  EXPECT_NEAR(losses_[0].frames, kMutedFrames, kRate / 200);
  EXPECT_NEAR(losses_[0].firstFrame, kMuteFrame, kRate / 100);
  // Silence where the second input was missing, its clicks and all.
  for (int64_t i = kMuteFrame + kRate / 100; i < kMuteFrame + kMutedFrames - kRate / 100; ++i) {
    ASSERT_EQ(secondSamples_[i * kChannels], 0) << "frame " << i;
  }
  const int64_t after = WorstOffset(kMuteFrame + kMutedFrames, kRate * 5 - kRate / 10);
  std::printf("after the loss: worst click offset %.3f ms\n", after * 1000.0 / kRate);
  EXPECT_LE(std::abs(after), kRate * 5 / 1000);
}

TEST_F(PulseSecondInputTest, AVanishedSecondInputIsSilenceFromThereOnAndEndsNothing) {
  first_.Mirror(second_);
  midway_ = [this] { second_.Unload(); };
  Record(kRate * 4);  // the first input records to the end

  ASSERT_EQ(losses_.size(), 1u);
  EXPECT_TRUE(losses_[0].vanished);
  EXPECT_FALSE(losses_[0].reason.empty());
  EXPECT_GT(losses_[0].firstFrame, kRate * 2 - kRate / 2);
  EXPECT_LT(losses_[0].firstFrame, kRate * 2 + kRate / 2);
  for (int64_t i = losses_[0].firstFrame; i < kRate * 4; ++i) {
    ASSERT_EQ(secondSamples_[i * kChannels], 0) << "frame " << i;
  }
}

// The computer's sound from a client that buffers seconds ahead comes in
// runs of a quarter second and more: late by a run, yet nothing is missing.
TEST_F(PulseSecondInputTest, ASinksMonitorThatDeliversInLongRunsLosesNothing) {
  NoisePlayer player;
  secondSource_ = "tamblin_null.monitor";
  secondOpensAt_ = 0;
  Record(kRate * 8);
  // At most a few frames short at a block's edge, never a run's worth.
  int64_t lost = 0;
  for (const SecondInput::Loss& loss : losses_) lost += loss.frames;
  EXPECT_LT(lost, kRate / 100) << losses_.size() << " losses";
  // Sound throughout once the monitor's first run is in: no stretch of silence.
  int64_t longestSilence = 0;
  int64_t run = 0;
  const auto sounding = std::find_if(secondSamples_.begin(), secondSamples_.end(), [](int16_t s) { return s != 0; });
  ASSERT_NE(sounding, secondSamples_.end()) << "the monitor's noise never came";
  for (auto at = sounding; at < secondSamples_.end(); at += kChannels) {
    run = *at == 0 ? run + 1 : 0;
    longestSilence = std::max(longestSilence, run);
  }
  EXPECT_LT(longestSilence, kRate / 100);
}
