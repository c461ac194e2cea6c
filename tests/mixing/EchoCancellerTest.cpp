// The echo canceller on speech: a far end (what the computer plays, one voice)
// heard again by the microphone 40 ms late, low-pass filtered and 6 dB down,
// over a near end (another voice). The take is laid out as
//   far end alone | near end alone | far end alone again
// so each stretch measures one thing: the echo left after convergence, the
// near voice's level, and the echo left once the near end has spoken.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "mixing/MakeEchoCanceller.h"
#include "tests/support/ShellCommand.h"

namespace {

constexpr double kEchoDelaySeconds = 0.040;
constexpr double kEchoGain = 0.5;  // 6 dB down
constexpr double kEchoCutoffHz = 3000;
constexpr double kConvergenceSeconds = 3.0;
constexpr double kGapSeconds = 0.5;
constexpr size_t kBlockFrames = 1234;  // not a multiple of the canceller's frame

// Mono speech at `rate`: espeak-ng writes a WAV, sox brings it to the rate.
std::vector<float> Speech(const std::string& voice, const std::string& text, int32_t rate) {
  const auto folder = std::filesystem::temp_directory_path() / ("echo-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string spoken = (folder / (voice + ".wav")).string();
  const std::string atRate = (folder / (voice + "-rate.wav")).string();
  const ShellResult made =
      RunShellCommand("espeak-ng -v " + ShellQuote(voice) + " -w " + ShellQuote(spoken) + " " + ShellQuote(text) +
                      " && sox " + ShellQuote(spoken) + " -r " + std::to_string(rate) + " " + ShellQuote(atRate));
  if (made.exitCode != 0) throw std::runtime_error("espeak-ng or sox failed for voice " + voice);
  SF_INFO info{};
  SNDFILE* file = sf_open(atRate.c_str(), SFM_READ, &info);
  if (!file) throw std::runtime_error("cannot read " + atRate);
  std::vector<float> samples(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  std::filesystem::remove_all(folder);
  return samples;
}

// Second-order low pass (the loudspeaker and room), applied in place.
void LowPass(std::vector<float>& signal, int32_t rate) {
  const double w = 2 * std::numbers::pi * kEchoCutoffHz / rate;
  const double alpha = std::sin(w) / std::numbers::sqrt2;
  const double a0 = 1 + alpha;
  const double b0 = (1 - std::cos(w)) / 2 / a0, b1 = (1 - std::cos(w)) / a0, b2 = b0;
  const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (float& sample : signal) {
    const double y = b0 * sample + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = sample, y2 = y1, y1 = y;
    sample = static_cast<float>(y);
  }
}

struct Stretch {
  size_t begin;
  size_t end;  // frames
};

struct Scene {
  int32_t rate;
  int16_t channels;
  std::vector<int16_t> microphone;  // interleaved
  std::vector<int16_t> reference;
  Stretch farAlone, nearAlone, farAloneAgain;
};

std::vector<int16_t> Interleaved(const std::vector<float>& mono, int16_t channels) {
  std::vector<int16_t> out(mono.size() * channels);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(std::lround(mono[i / channels] * 16384));
  return out;
}

Scene MakeScene(int32_t rate, int16_t channels, bool withFarEnd) {
  const std::vector<float> far =
      Speech("en-us",
             "The quarterly report is due on Friday, and the figures from the northern office "
             "still have not arrived. Could you remind them again before the meeting starts.",
             rate);
  const std::vector<float> near = Speech(
      "en-gb+f3", "I think we should move the launch to next month. The printer in the hallway keeps jamming.", rate);
  const size_t gap = static_cast<size_t>(kGapSeconds * rate);
  const size_t nearStart = far.size() + gap;
  const size_t farAgainStart = nearStart + near.size() + gap;
  const size_t total = farAgainStart + far.size();
  std::vector<float> played(total), nearEnd(total);
  if (withFarEnd) {
    std::copy(far.begin(), far.end(), played.begin());
    std::copy(far.begin(), far.end(), played.begin() + farAgainStart);
  }
  std::copy(near.begin(), near.end(), nearEnd.begin() + nearStart);
  std::vector<float> echo(total);
  const size_t delay = static_cast<size_t>(kEchoDelaySeconds * rate);
  for (size_t i = delay; i < total; ++i) echo[i] = played[i - delay];
  LowPass(echo, rate);
  std::vector<float> heard(total);
  for (size_t i = 0; i < total; ++i) heard[i] = nearEnd[i] + static_cast<float>(kEchoGain) * echo[i];
  const size_t settled = static_cast<size_t>(kConvergenceSeconds * rate);
  return Scene{rate,
               channels,
               Interleaved(heard, channels),
               Interleaved(played, channels),
               {settled, far.size()},
               {nearStart, nearStart + near.size()},
               {farAgainStart, total}};
}

// The microphone through the canceller in blocks of kBlockFrames, moved back
// by its lag so that frame i of the result is frame i of the microphone.
std::vector<int16_t> Cancelled(const Scene& scene, EchoCanceller& canceller) {
  std::vector<int16_t> out = scene.microphone;
  const size_t blockSamples = kBlockFrames * scene.channels;
  for (size_t at = 0; at < out.size(); at += blockSamples) {
    const size_t length = std::min(blockSamples, out.size() - at);
    canceller.Process(std::span(out).subspan(at, length), std::span(scene.reference).subspan(at, length));
  }
  out.erase(out.begin(), out.begin() + canceller.LagFrames() * scene.channels);
  return out;
}

double Energy(const std::vector<int16_t>& samples, int16_t channels, Stretch stretch) {
  double sum = 0;
  const size_t end = std::min(stretch.end * channels, samples.size());
  for (size_t i = stretch.begin * channels; i < end; ++i) sum += double(samples[i]) * samples[i];
  return sum;
}

double LevelChangeDb(const std::vector<int16_t>& before, const std::vector<int16_t>& after, int16_t channels,
                     Stretch stretch) {
  return 10 * std::log10(Energy(after, channels, stretch) / Energy(before, channels, stretch));
}

struct Format {
  int32_t rate;
  int16_t channels;
};

class EchoCancellerTest : public ::testing::TestWithParam<Format> {};

}  // namespace

TEST_P(EchoCancellerTest, RemovesTheFarEndAndKeepsTheNearVoice) {
  const Scene scene = MakeScene(GetParam().rate, GetParam().channels, true);
  const auto canceller = MakeEchoCanceller(scene.rate, scene.channels);
  const std::vector<int16_t> out = Cancelled(scene, *canceller);
  const int16_t channels = scene.channels;

  const double echoAfterConvergence = LevelChangeDb(scene.microphone, out, channels, scene.farAlone);
  const double echoAfterNearVoice = LevelChangeDb(scene.microphone, out, channels, scene.farAloneAgain);
  const double nearVoice = LevelChangeDb(scene.microphone, out, channels, scene.nearAlone);
  RecordProperty("echo_after_convergence_db", std::to_string(echoAfterConvergence));
  RecordProperty("echo_after_near_voice_db", std::to_string(echoAfterNearVoice));
  RecordProperty("near_voice_change_db", std::to_string(nearVoice));
  EXPECT_LE(echoAfterConvergence, -20.0);
  EXPECT_LE(echoAfterNearVoice, -20.0);
  EXPECT_NEAR(nearVoice, 0.0, 1.0);
  const std::optional<double> delay = canceller->DelayMs();
  ASSERT_TRUE(delay.has_value());
  RecordProperty("delay_ms", std::to_string(*delay));
  EXPECT_NEAR(*delay, kEchoDelaySeconds * 1000, 10.0);
}

TEST_P(EchoCancellerTest, PassesTheMicrophoneWhenNothingPlaysAtItsStatedLag) {
  const Scene scene = MakeScene(GetParam().rate, GetParam().channels, false);
  const auto canceller = MakeEchoCanceller(scene.rate, scene.channels);
  const std::vector<int16_t> out = Cancelled(scene, *canceller);
  const int16_t channels = scene.channels;
  EXPECT_NEAR(LevelChangeDb(scene.microphone, out, channels, scene.nearAlone), 0.0, 1.0);
  // Aligned by LagFrames, what is left of the difference is the library's band
  // filters' ripple (a fraction of a frame's delay above 16 kHz); misaligned by
  // a few frames or more, it is about as loud as the voice.
  std::vector<int16_t> difference(out.size());
  for (size_t i = 0; i < out.size(); ++i) difference[i] = static_cast<int16_t>(out[i] - scene.microphone[i]);
  EXPECT_LE(LevelChangeDb(scene.microphone, difference, channels, scene.nearAlone), -10.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, EchoCancellerTest,
                         ::testing::Values(Format{48000, 2}, Format{22050, 1}, Format{16000, 1}), [](const auto& info) {
                           return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.channels) + "ch";
                         });

TEST(MakeEchoCancellerTest, RefusesFormatsOutsideTheRecordersRange) {
  for (const Format format : {Format{7999, 1}, Format{96001, 2}, Format{48000, 0}, Format{48000, 3}}) {
    EXPECT_THROW(MakeEchoCanceller(format.rate, format.channels), std::invalid_argument)
        << format.rate << " Hz, " << format.channels << " channels";
  }
  EXPECT_NO_THROW(MakeEchoCanceller(96000, 2));
  EXPECT_NO_THROW(MakeEchoCanceller(11025, 1));
}
