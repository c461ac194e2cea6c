// Playing a take: through a private server's null sink a 16-bit PCM take
// comes back from the sink's monitor bit for bit to its last sample; against a
// scripted output, every frame from the start point is handed over exactly
// once and the end is reported.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "app/review/TakePlayer.h"
#include "capture/PlaybackOutput.h"
#include "capture/PulsePlaybackOutput.h"
#include "encoding/EncoderWAV.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

// No zero samples: the take is told from the silence around it.
std::vector<int16_t> KnownSamples(size_t count) {
  std::mt19937 generator(99);
  std::uniform_int_distribution<int> value(1, INT16_MAX);
  std::vector<int16_t> samples(count);
  for (int16_t& sample : samples) sample = static_cast<int16_t>(generator() % 2 ? value(generator) : -value(generator));
  return samples;
}

std::string WriteTake(const std::filesystem::path& path, const std::vector<int16_t>& samples) {
  EncoderWAV wav;
  EXPECT_EQ(wav.EncoderInit(kRate, kChannels, path.string()), ENC_OK);
  constexpr size_t kBlock = 4096;  // the size of a captured block
  for (size_t at = 0; at < samples.size(); at += kBlock) {
    int32_t used = 0;
    const auto bytes = static_cast<int32_t>(std::min(kBlock, samples.size() - at) * sizeof(int16_t));
    EXPECT_EQ(wav.Encode(samples.data() + at, bytes, used), ENC_OK);
  }
  EXPECT_EQ(wav.EncoderClose(), ENC_OK);
  return path.string();
}

// Where sample `at` of `fed` lies in `heard`, found by the 64 samples from there on; -1 when nowhere.
int64_t Find(const std::vector<int16_t>& heard, const std::vector<int16_t>& fed, size_t at) {
  const auto found = std::search(heard.begin(), heard.end(), fed.begin() + static_cast<int64_t>(at),
                                 fed.begin() + static_cast<int64_t>(at) + 64);
  return found == heard.end() ? -1 : found - heard.begin();
}

class ScriptedOutput : public PlaybackOutput {
 public:
  std::string Open(int32_t, int16_t) override {
    ++opens;
    return {};
  }
  int64_t Writable() override { return 700; }
  bool Write(std::span<const int16_t> samples) override {
    written.insert(written.end(), samples.begin(), samples.end());
    return true;
  }
  int64_t PlayedFrames() override { return 0; }
  void Drain() override { drained = true; }
  bool Drained() override { return drained; }
  void Close() override {}
  std::string LastError() const override { return {}; }

  std::vector<int16_t> written;
  bool drained = false;
  int opens = 0;
};

TEST(TakePlayerTest, HandsEveryFrameFromTheStartPointOnceAndReportsTheEnd) {
  const auto dir = std::filesystem::temp_directory_path() / ("tamblin_play_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto samples = KnownSamples(kChannels * 10007);
  const std::string take = WriteTake(dir / "take.wav", samples);
  for (const int64_t from : {int64_t{0}, int64_t{4321}}) {
    ScriptedOutput output;
    TakePlayer player(output);
    QSignalSpy finished(&player, &TakePlayer::Finished);
    ASSERT_EQ(player.Play(take, from), "");
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(finished.at(0).at(0).toString(), "");
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(output.written == std::vector<int16_t>(samples.begin() + from * kChannels, samples.end()))
        << "from " << from << ": " << output.written.size() << " samples";
  }
  ScriptedOutput output;
  TakePlayer player(output);
  QSignalSpy finished(&player, &TakePlayer::Finished);
  EXPECT_NE(player.Play((dir / "missing.wav").string()), "");
  ASSERT_EQ(player.Play(take), "");
  player.Stop();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_LT(output.written.size(), samples.size());
  std::filesystem::remove_all(dir);
}

TEST(TakePlaybackTest, NullSinkMonitorHearsTheTakeBitForBit) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  const auto dir = std::filesystem::temp_directory_path() / ("tamblin_hear_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto samples = KnownSamples(kChannels * kRate * 3 / 2);
  const std::string take = WriteTake(dir / "take.wav", samples);
  const auto heard = dir / "heard.raw";
  const ShellResult parec = RunShellCommand(
      "parec -d tamblin_null.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 > " +
      ShellQuote(heard.string()) + " 2>/dev/null & echo $!");
  ASSERT_EQ(parec.exitCode, 0);
  const std::string pid = parec.output.substr(0, parec.output.find('\n'));
  for (int i = 0; i < 100 && RunShellCommand("pactl list short source-outputs").output.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  PulsePlaybackOutput output;
  TakePlayer player(output);
  QSignalSpy finished(&player, &TakePlayer::Finished);
  ASSERT_EQ(player.Play(take), "");
  ASSERT_TRUE(finished.wait(20000));
  EXPECT_EQ(finished.at(0).at(0).toString(), "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the monitor's last fragment
  RunShellCommand("kill " + pid);

  std::ifstream in(heard, std::ios::binary);
  std::vector<int16_t> recorded(std::filesystem::file_size(heard) / sizeof(int16_t));
  in.read(reinterpret_cast<char*>(recorded.data()), static_cast<std::streamsize>(recorded.size() * sizeof(int16_t)));
  // The offset from the middle of the take: the monitor of a sink that was idle starts a
  // few milliseconds into the first stream (pacat's streams lose the same), so the very
  // start may be missing; everything after it must come back bit for bit, to the last sample.
  const size_t middle = samples.size() / 2;
  const int64_t middleHeard = Find(recorded, samples, middle);
  ASSERT_GE(middleHeard, 0) << recorded.size() << " samples heard";
  const int64_t start = middleHeard - static_cast<int64_t>(middle);
  const int64_t missed = std::max<int64_t>(0, -start);
  EXPECT_LE(missed, kChannels * kRate / 20) << "more than 50 ms of the start not heard";
  ASSERT_GE(static_cast<int64_t>(recorded.size()), start + static_cast<int64_t>(samples.size()));
  EXPECT_TRUE(std::equal(samples.begin() + missed, samples.end(), recorded.begin() + start + missed));
  std::filesystem::remove_all(dir);
}

}  // namespace
