// Rounding, saturation and the wave format record.
#include <gtest/gtest.h>

#include <cmath>

#include "common/AppError.h"
#include "common/SampleMath.h"
#include "common/WAVEFORMATEX.h"

TEST(SampleMath, RoundsHalvesToEven) {
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(RoundToInt32(3.5), 4);
  EXPECT_EQ(RoundToInt32(-2.5), -2);
  EXPECT_EQ(RoundToInt32(-0.5), 0);
  EXPECT_EQ(RoundToInt32(58.049), 58);
}

TEST(SampleMath, ClipSampleSaturatesAndRounds) {
  EXPECT_EQ(ClipSample(32767.4), 32767);
  EXPECT_EQ(ClipSample(40000.0), 32767);
  EXPECT_EQ(ClipSample(-32768.0), -32768);
  EXPECT_EQ(ClipSample(-99999.0), -32768);
  EXPECT_EQ(ClipSample(14125.5), 14126);
  EXPECT_EQ(ClipSample(14124.5f), 14124);
}

TEST(WaveFormat, StoresEighteenLittleEndianBytes) {
  WAVEFORMATEX wfx;
  wfx.wFormatTag = WAVE_FORMAT_PCM;
  wfx.nChannels = 2;
  wfx.nSamplesPerSec = 44100;
  wfx.nAvgBytesPerSec = 176400;
  wfx.nBlockAlign = 4;
  wfx.wBitsPerSample = 16;
  const auto bytes = wfx.ToBytes();
  ASSERT_EQ(bytes.size(), 18u);
  const std::vector<uint8_t> expected = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
  EXPECT_EQ(bytes, expected);
  const auto back = WAVEFORMATEX::FromBytes(bytes);
  EXPECT_EQ(back.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(back.nBlockAlign, 4);
}

TEST(AppErrorTest, CarriesNumberAndDescription) {
  try {
    throw AppError(90, "Encoder already running!");
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), 90);
    EXPECT_EQ(e.description(), "Encoder already running!");
  }
}

TEST(SampleMath, FloatClipSampleRoundsLikeNearbyintEverywhereInRange) {
  // Every multiple of 1/64 in the sample range (halves and near-halves included),
  // plus the neighbours of each half.
  for (int32_t k = -32768 * 64; k <= 32767 * 64; ++k) {
    const float v = static_cast<float>(k) / 64.0f;
    ASSERT_EQ(ClipSample(v), static_cast<int16_t>(std::nearbyintf(v))) << v;
    if (k % 32 == 0 && k % 64 != 0) {
      const float below = std::nextafter(v, -1e9f);
      const float above = std::nextafter(v, 1e9f);
      ASSERT_EQ(ClipSample(below), static_cast<int16_t>(std::nearbyintf(below))) << below;
      ASSERT_EQ(ClipSample(above), static_cast<int16_t>(std::nearbyintf(above))) << above;
    }
  }
}
