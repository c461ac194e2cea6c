// Times and gains as the tags spell them.
#include "tagging/MetadataTexts.h"

#include <gtest/gtest.h>

#include "tagging/LoudnessGains.h"

namespace {

TEST(MetadataTextsTest, ChapterTimesRoundToTheNearestMillisecond) {
  EXPECT_EQ(MetadataTexts::ChapterTime(0, 44100), "00:00:00.000");
  EXPECT_EQ(MetadataTexts::ChapterTime(22, 44100), "00:00:00.000");  // 0.499 ms
  EXPECT_EQ(MetadataTexts::ChapterTime(23, 44100), "00:00:00.001");  // 0.522 ms
  EXPECT_EQ(MetadataTexts::ChapterTime(48000LL * (3 * 3600 + 25 * 60 + 7) + 47999, 48000), "03:25:08.000");
  EXPECT_EQ(MetadataTexts::ChapterNumber(0), "001");
  EXPECT_EQ(MetadataTexts::TitleFromPath("/a/录音 3.flac"), "录音 3");
}

TEST(MetadataTextsTest, GainsAgainstTheirReferencesAndSaturated) {
  const TakeMetadata::Loudness loud{.integratedLufs = -9.1, .rangeLu = 3, .truePeakDbtp = 0};
  EXPECT_EQ(LoudnessGains::ReplayGainTrackGain(loud), "-8.90 dB");
  EXPECT_EQ(LoudnessGains::ReplayGainTrackPeak(loud), "1.000000");
  EXPECT_EQ(LoudnessGains::R128TrackGain(loud), -3558);  // -13.9 dB * 256, rounded
  EXPECT_EQ(LoudnessGains::R128TrackGain({.integratedLufs = -300}), 32767);
  EXPECT_EQ(LoudnessGains::Hundredths(-23.456), -2346);
  EXPECT_EQ(LoudnessGains::Hundredths(400), 0x7FFE) << "0x7FFF would read as absent";
}

}  // namespace
