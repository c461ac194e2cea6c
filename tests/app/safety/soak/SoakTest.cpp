// Soak: one hour of audio through a pipe source at 8 times real time into the
// real window with all four effects and IMA ADPCM output. Nothing may be lost,
// the file must hold the hour and be read by sox, and resident memory must be
// as flat at the end as after the first minute. Prints the figures.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "encoding/WavFileRepair.h"
#include "tests/app/safety/DriverProcess.h"
#include "tests/app/safety/SafetyFiles.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kSeconds = 3600;
constexpr double kSpeed = 8.0;

long Rss(DriverProcess& driver) {
  driver.Send("rss");
  const auto line = driver.WaitFor("RSS ");
  return line ? std::stol(line->substr(4)) : -1;
}

// A minute of a 440/1000 Hz pair with a slow level sweep (never all zero).
std::vector<int16_t> Minute() {
  std::vector<int16_t> samples(static_cast<size_t>(kRate) * 2 * 60);
  for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
    const double t = static_cast<double>(frame) / kRate;
    const double level = 6000 + 4000 * std::sin(2 * M_PI * t / 7.0);
    samples[2 * frame] = static_cast<int16_t>(level * std::sin(2 * M_PI * 440 * t) + 1);
    samples[2 * frame + 1] = static_cast<int16_t>(level * std::sin(2 * M_PI * 1000 * t) + 1);
  }
  return samples;
}

TEST(SoakTest, OneHourAtEightTimesRealTimeWithAllEffectsAndImaAdpcm) {
  ASSERT_TRUE(EnsurePulseServer());
  QTemporaryDir folder;
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("soak"), kRate, 2, "Pipe-Soak");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(folder.path().toStdString());
  ASSERT_TRUE(driver.WaitFor("READY").has_value());
  driver.Send("ima");
  driver.Send("effects");
  driver.Send("select Pipe-Soak");
  ASSERT_TRUE(driver.WaitFor("SELECTED").has_value());
  driver.Send("start");
  const auto state = driver.WaitFor("STATE recording ");
  ASSERT_TRUE(state.has_value());
  const fs::path file = state->substr(std::string("STATE recording ").size());

  const auto minute = Minute();
  long rssFirstMinute = -1;
  long rssPeak = 0;
  for (int m = 0; m < kSeconds / 60; ++m) {
    feeder.Feed(minute, kSpeed);  // waits for the previous minute first
    if (m == 1) rssFirstMinute = Rss(driver);
    if (m >= 1) rssPeak = std::max(rssPeak, Rss(driver));
  }
  feeder.WaitFed();
  std::this_thread::sleep_for(2s);  // the last buffers reach the window
  const long rssLastMinute = Rss(driver);
  driver.Send("status");
  const auto status = driver.WaitFor("STATUS");
  driver.Send("stop");
  ASSERT_TRUE(driver.WaitFor("STATE idle").has_value());
  EXPECT_TRUE(driver.Quit());

  const int64_t frames = SoxSampleCount(file);
  const auto probed = FfprobeDuration(file);
  std::printf("soak: file %.3f s (sox), %.3f s (ffprobe); RSS after 1st minute %ld kB, peak %ld kB, end %ld kB\n",
              frames / static_cast<double>(kRate), probed.value_or(-1), rssFirstMinute, rssPeak, rssLastMinute);
  std::printf("soak: %s\n", status.value_or("no status").c_str());
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(status->find("丢失: 0"), std::string::npos) << "input was lost: " << *status;
  EXPECT_FALSE(WavFileRepair::NeedsRepair(file.string()));
  // The hour, plus at most the idle source's silence before the first feed.
  EXPECT_GE(frames, static_cast<int64_t>(kRate) * kSeconds - 2041) << "short of the hour";
  EXPECT_LE(frames, static_cast<int64_t>(kRate) * (kSeconds + 1));
  EXPECT_LT(rssLastMinute - rssFirstMinute, 8 * 1024) << "resident memory grew";
}

}  // namespace
