// The meters' parts without a window: clip counting, the loudness meter against
// known signals, the peak-hold mark's timing and the scale's ticks and labels.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QWidget>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "metering/ClipCounter.h"
#include "metering/LoudnessMeter.h"
#include "app/windows/meters/ClipLamp.h"
#include "app/windows/meters/LevelMeterView.h"
#include "app/windows/meters/LevelScale.h"
#include "app/windows/meters/MeterPanel.h"
#include "metering/PeakHold.h"

namespace {

constexpr int kRate = 48000;

// `seconds` of a 1 kHz sine of `amplitude` (full scale 1.0) in both channels.
std::vector<int16_t> StereoSine(double amplitude, double seconds) {
  const auto frames = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> samples(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double value = amplitude * 32767.0 * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate);
    samples[2 * i] = samples[2 * i + 1] = static_cast<int16_t>(std::lrint(value));
  }
  return samples;
}

bool NoPeak(int16_t) { return false; }

TEST(ClipCounterTest, CountsEachRunOfClippingBlocksOncePerChannelAndTruePeaksAboveTheLimit) {
  ClipCounter counter;
  counter.Begin(2);
  const std::vector<int16_t> leftFull = {32767, 0, 100, 0};
  const std::vector<int16_t> rightFloor = {0, -32768, 0, 0};
  const std::vector<int16_t> quiet = {32766, -32767, 0, 0};
  counter.Add(leftFull, NoPeak);
  counter.Add(leftFull, NoPeak);  // the same overload goes on
  counter.Add(quiet, NoPeak);  // one below full scale, true peak under -0.1 dBTP
  counter.Add(leftFull, NoPeak);
  counter.Add(rightFloor, NoPeak);
  EXPECT_EQ(counter.Clips(0), 2);
  EXPECT_EQ(counter.Clips(1), 1);

  counter.Begin(1);
  EXPECT_EQ(counter.Clips(0), 0) << "a new recording starts without clips";
  counter.Add(quiet, [](int16_t) { return true; });  // true peak over -0.1 dBTP
  EXPECT_EQ(counter.Clips(0), 1);
  EXPECT_EQ(counter.Clips(1), 1) << "mono counts for both";
}

TEST(LoudnessMeterTest, SineOfKnownLevelReadsItsLoudnessAndTruePeak) {
  LoudnessMeter meter;
  ASSERT_TRUE(meter.Begin(kRate, 2));
  EXPECT_FALSE(std::isfinite(meter.Live().momentary)) << "nothing measured yet";
  const std::vector<int16_t> sine = StereoSine(0.1, 6.0);  // -20 dBFS
  // Fed in blocks of an odd size, as the capture delivers them.
  for (size_t at = 0; at < sine.size(); at += 2 * 1021) {
    meter.Add(std::span(sine).subspan(at, std::min<size_t>(2 * 1021, sine.size() - at)));
  }
  EXPECT_NEAR(meter.Live().momentary, -20.0, 0.1) << "refreshed while fed";
  const LoudnessReading reading = meter.Final();
  EXPECT_NEAR(reading.integrated, -20.0, 0.1);
  EXPECT_NEAR(reading.shortTerm, -20.0, 0.1);
  EXPECT_NEAR(reading.maxShortTerm, -20.0, 0.1);
  EXPECT_NEAR(reading.truePeak, -20.0, 0.1);
  EXPECT_NEAR(reading.range, 0.0, 0.1);
  EXPECT_FALSE(meter.BlockTruePeakOverLimit(1));
  meter.Add(StereoSine(0.98, 0.05));
  EXPECT_FALSE(meter.BlockTruePeakOverLimit(0)) << "-0.18 dBTP";
  meter.Add(StereoSine(0.995, 0.05));
  EXPECT_TRUE(meter.BlockTruePeakOverLimit(0)) << "-0.04 dBTP";
  EXPECT_FALSE(meter.Begin(kRate, 0)) << "no channels, no meter";
}

TEST(PeakHoldTest, RisesAtOnceHoldsOneAndAHalfSecondsThenFallsToTheLevel) {
  PeakHold hold;
  EXPECT_FLOAT_EQ(hold.Update(0.5f, 0), 0.5f);
  EXPECT_FLOAT_EQ(hold.Update(0.2f, 1000), 0.5f);
  EXPECT_FLOAT_EQ(hold.Update(0.7f, 1200), 0.7f) << "a higher level takes the mark at once";
  EXPECT_FLOAT_EQ(hold.Update(0.3f, 2699), 0.7f) << "held 1.5 s from its last rise";
  EXPECT_FLOAT_EQ(hold.Update(0.3f, 2700), 0.3f);
  hold.Reset();
  EXPECT_FLOAT_EQ(hold.Held(), 0.0f);
}

TEST(LevelScaleTest, TicksSitWhereTheLinearBarReachesEachLevel) {
  EXPECT_EQ(LevelScale::TickX(0, 401), 400);
  EXPECT_EQ(LevelScale::TickX(-6, 401), 200);  // half the amplitude
  EXPECT_EQ(LevelScale::TickX(-12, 401), 100);
  EXPECT_EQ(LevelScale::TickX(-60, 401), 0);
  EXPECT_EQ(LevelScale::Label(-12), QString(QChar(0x2212)) + "12");
}

TEST(LevelScaleTest, LabelsNeverOverlapAndAWiderBarShowsMore) {
  LevelScale scale;
  const QFontMetrics metrics = scale.fontMetrics();
  for (int width : {120, 400, 1200}) {
    const std::vector<int> levels = scale.LabelledLevels(width);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), 0);
    for (size_t k = 1; k < levels.size(); ++k) {
      const int right = LevelScale::TickX(levels[k], width) + metrics.horizontalAdvance(LevelScale::Label(levels[k])) / 2;
      const int left = LevelScale::TickX(levels[k - 1], width) -
                       metrics.horizontalAdvance(LevelScale::Label(levels[k - 1])) / 2;
      EXPECT_LT(right, left) << "width " << width << ": " << levels[k] << " dB runs into " << levels[k - 1];
    }
  }
  EXPECT_GT(scale.LabelledLevels(1200).size(), scale.LabelledLevels(120).size());
}

class MeterPanelTest : public ::testing::Test {
 protected:
  void Show(RecorderState state, std::array<int64_t, 2> clips) {
    shown.state = state;
    shown.clips = clips;
    panel.ShowMeters(shown);
  }
  bool Lit(int channel) const { return panel.Lamp(channel)->Lit(); }

  QWidget window;
  MeterPanel panel{&window, &window};
  RecordingMonitor::Snapshot shown;
};

TEST_F(MeterPanelTest, LampLatchesAtANewClipUntilClickedOrTheNextStart) {
  Show(RecorderState::Recording, {0, 0});
  EXPECT_FALSE(Lit(0));
  Show(RecorderState::Recording, {1, 0});
  Show(RecorderState::Recording, {1, 0});
  EXPECT_TRUE(Lit(0)) << "stays lit";
  EXPECT_FALSE(Lit(1));
  panel.Lamp(0)->click();
  panel.Lamp(0)->click();
  EXPECT_FALSE(Lit(0)) << "a click puts it out and never lights it";
  Show(RecorderState::Recording, {1, 0});
  EXPECT_FALSE(Lit(0)) << "the same clip does not light it again";
  Show(RecorderState::Recording, {1, 2});
  Show(RecorderState::Idle, {1, 2});
  EXPECT_TRUE(Lit(1)) << "lit after the stop";
  Show(RecorderState::Starting, {1, 2});  // the last recording's counts
  EXPECT_FALSE(Lit(1));
  Show(RecorderState::Recording, {0, 0});
  Show(RecorderState::Recording, {0, 1});
  EXPECT_TRUE(Lit(1));
  panel.Lamp(1)->setFocus();
  QTest::keyClick(panel.Lamp(1), Qt::Key_Space);
  EXPECT_FALSE(Lit(1)) << "put out from the keyboard";
}

TEST_F(MeterPanelTest, StopShowsTheFinalLoudnessAtOnceAndTheMeterTellsLevelAndClip) {
  Show(RecorderState::Recording, {0, 3});
  shown.loudness.integrated = -23.04;
  shown.loudness.truePeak = -1.0;
  Show(RecorderState::Idle, {0, 3});
  EXPECT_TRUE(panel.LoudnessLabel()->text().contains(QString(QChar(0x2212)) + "23.0")) << panel.LoudnessLabel()->text().toStdString();
  EXPECT_EQ(panel.ClipsLabel()->text(), MeterPanel::ClipsText({0, 3}));

  panel.ShowLevels({1, 8192}, 0.0);
  EXPECT_EQ(panel.Meter(1)->SpokenValue(), QString(QChar(0x2212)) + "12 dB, 已削波");
  EXPECT_EQ(panel.Meter(0)->SpokenValue(), "低于 " + QString(QChar(0x2212)) + "60 dB");
}


}  // namespace
