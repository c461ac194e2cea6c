// IIRFilter: designs, block processing, saturation and the settings' effect on state.
#include "effects/IIRFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/effects/SignalHelpers.h"

using namespace effects_test;

namespace {

constexpr float kRate = 44100.0f;
// The 4th band of the 7-band equalizer at 44100 Hz.
constexpr float kBandCentre = 1084.435f;
constexpr float kBandWidth = 1.303394f;

IIRFilter Peaking(float gainDB, float freq = kBandCentre, float bw = kBandWidth, float rate = kRate) {
  IIRFilter f;
  f.CreateBiquadIIR(IIR_PEAKING, gainDB, freq, rate, bw);
  return f;
}

std::vector<int16_t> Noise(std::size_t count, int amplitude) {
  std::vector<int16_t> out(count);
  unsigned state = 12345;
  for (int16_t& s : out) {
    state = state * 1103515245u + 12345u;
    s = static_cast<int16_t>(static_cast<int>((state >> 8) % (2 * amplitude + 1)) - amplitude);
  }
  return out;
}

}  // namespace

TEST(IIRFilterTest, SampleToUnitEqualsSinglePrecisionDivisionForEverySample) {
  for (int32_t s = -32768; s <= 32767; ++s) {
    ASSERT_EQ(IIRFilter::SampleToUnit(static_cast<int16_t>(s)), static_cast<float>(s) / 32767.0f) << s;
  }
}

TEST(IIRFilterTest, NewFilterIsEnabledAndSilencesEverySample) {
  IIRFilter f;
  EXPECT_TRUE(f.Enabled());
  EXPECT_EQ(f.samplerate(), 0);
  std::vector<int16_t> block{1000, -32768, 32767, 5};
  f.ProcessSamples_16bit(block);
  EXPECT_EQ(block, (std::vector<int16_t>{0, 0, 0, 0}));
}

TEST(IIRFilterTest, DesignsHitTheirDefiningGains) {
  // Low-pass passes DC, high-pass passes Nyquist, band-pass peaks at 0 dB, all exactly 1.
  const auto low = IIRFilter::Design(IIR_LOWPASS, 0, 1000, kRate, 1);
  const auto high = IIRFilter::Design(IIR_HIGHPASS, 0, 1000, kRate, 1);
  const auto band = IIRFilter::Design(IIR_BANDPASS, 0, 1000, kRate, 1);
  ASSERT_TRUE(low && high && band);
  EXPECT_NEAR(DesignGainAt(*low, 0, kRate), 1.0, 1e-5);
  EXPECT_NEAR(DesignGainAt(*low, 10000, kRate), 0.0, 0.05);
  EXPECT_NEAR(DesignGainAt(*high, kRate / 2, kRate), 1.0, 1e-5);
  EXPECT_NEAR(DesignGainAt(*high, 0, kRate), 0.0, 1e-5);
  EXPECT_NEAR(DesignGainAt(*band, 1000, kRate), 1.0, 1e-5);
  EXPECT_NEAR(DesignGainAt(*band, 0, kRate), 0.0, 1e-5);
  // Peaking: gain g at the centre, 0 dB far away.
  const auto peak = IIRFilter::Design(IIR_PEAKING, -9, kBandCentre, kRate, kBandWidth);
  ASSERT_TRUE(peak);
  EXPECT_NEAR(ToDB(DesignGainAt(*peak, kBandCentre, kRate)), -9.0, 1e-3);
  EXPECT_NEAR(ToDB(DesignGainAt(*peak, 0, kRate)), 0.0, 1e-3);
}

TEST(IIRFilterTest, PeakingBandMeasuredGainAtCentreMatchesSetting) {
  for (float gainDB : {6.0f, -12.0f, 3.5f}) {
    IIRFilter f = Peaking(gainDB);
    const std::vector<int16_t> input = Sine(4000, kBandCentre, kRate, 44100);
    std::vector<int16_t> output = input;
    f.ProcessSamples_16bit(output);
    const double measured = ToDB(AmplitudeAt(output, kBandCentre, kRate, 4410) /
                                 AmplitudeAt(input, kBandCentre, kRate, 4410));
    EXPECT_NEAR(measured, gainDB, 0.1) << "gain " << gainDB;
  }
}

TEST(IIRFilterTest, PeakingAtZeroDBChangesOnlyByRounding) {
  IIRFilter f = Peaking(0);
  const std::vector<int16_t> input = Noise(20000, 32767);
  std::vector<int16_t> output = input;
  f.ProcessSamples_16bit(output);
  for (std::size_t n = 0; n < input.size(); ++n) ASSERT_LE(std::abs(output[n] - input[n]), 1) << n;
}

TEST(IIRFilterTest, TwelveDBBoostClipsFullScaleSineAtBothLimits) {
  IIRFilter f = Peaking(12);
  std::vector<int16_t> block = Sine(32767, kBandCentre, kRate, 8820);
  f.ProcessSamples_16bit(block);
  const auto [lo, hi] = std::minmax_element(block.begin() + 4410, block.end());
  EXPECT_EQ(*hi, 32767);
  EXPECT_EQ(*lo, -32768);
  EXPECT_GT(std::count(block.begin() + 4410, block.end(), 32767), 100);
}

TEST(IIRFilterTest, DisabledFilterLeavesBlockAndMemoriesAlone) {
  IIRFilter f = Peaking(6);
  std::vector<int16_t> warm = Sine(10000, 500, kRate, 100);
  f.ProcessSamples_16bit(warm);
  const IIRFilter::Memories before = f.memories();
  f.Enabled(false);
  std::vector<int16_t> block = Sine(10000, 700, kRate, 300);
  const std::vector<int16_t> original = block;
  f.ProcessSamples_16bit(block);
  std::vector<uint8_t> bytes{0, 100, 255};
  f.ProcessSamples_8bit(bytes);
  EXPECT_EQ(block, original);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 100, 255}));
  EXPECT_EQ(f.memories().y1, before.y1);
  EXPECT_EQ(f.memories().x1, before.x1);
}

TEST(IIRFilterTest, MemoriesCarryOverFromBlockToBlock) {
  IIRFilter whole = Peaking(9);
  IIRFilter split = Peaking(9);
  std::vector<int16_t> a = Noise(1001, 20000);
  std::vector<int16_t> b = a;
  whole.ProcessSamples_16bit(a);
  split.ProcessSamples_16bit(std::span(b).first(333));
  split.ProcessSamples_16bit(std::span(b).subspan(333));
  EXPECT_EQ(a, b);
}

TEST(IIRFilterTest, SettingsStoreValuesAndRestartFromSilence) {
  IIRFilter f;
  f.CreateBiquadIIR(IIR_PEAKING, 6, 1000, 44100.5f, 1);  // rate rounds half to even
  EXPECT_EQ(f.samplerate(), 44100);
  EXPECT_EQ(f.IIRType(), IIR_PEAKING);
  EXPECT_EQ(f.GainDB(), 6.0f);
  EXPECT_EQ(f.Frequency(), 1000.0f);
  EXPECT_EQ(f.Bandwidth(), 1.0f);

  std::vector<int16_t> block = Sine(10000, 1000, kRate, 200);
  f.ProcessSamples_16bit(block);
  ASSERT_NE(f.memories().y1, 0.0f);
  const float oldB0 = f.coefficients().b0;
  f.GainDB(-6);  // recomputes: new coefficients, cleared memories
  EXPECT_NE(f.coefficients().b0, oldB0);
  EXPECT_EQ(f.memories().y1, 0.0f);
  EXPECT_EQ(f.memories().x2, 0.0f);
  const auto expected = IIRFilter::Design(IIR_PEAKING, -6, 1000, 44100, 1);
  EXPECT_EQ(f.coefficients().b0, expected->b0);
  EXPECT_EQ(f.coefficients().a2, expected->a2);

  f.Frequency(2000);
  f.Bandwidth(2);
  EXPECT_EQ(f.coefficients().a1, IIRFilter::Design(IIR_PEAKING, -6, 2000, 44100, 2)->a1);
}

TEST(IIRFilterTest, NonPositiveRateIsStoredButKeepsCoefficients) {
  IIRFilter f = Peaking(6);
  const IIRFilter::Coefficients before = f.coefficients();
  for (int32_t rate : {0, -8000}) {
    f.samplerate(rate);
    EXPECT_EQ(f.samplerate(), rate);
    EXPECT_EQ(f.coefficients().b0, before.b0);
    EXPECT_EQ(f.coefficients().a1, before.a1);
  }
  // Writes while unconfigured only store.
  f.GainDB(-3);
  EXPECT_EQ(f.GainDB(), -3.0f);
  EXPECT_EQ(f.coefficients().b0, before.b0);
}

TEST(IIRFilterTest, UnknownTypeOrDegenerateSettingsLeaveFilterAsItWas) {
  IIRFilter f = Peaking(6);
  std::vector<int16_t> block = Sine(10000, 1000, kRate, 50);
  f.ProcessSamples_16bit(block);
  const IIRFilter::Memories memories = f.memories();
  const IIRFilter::Coefficients coefficients = f.coefficients();
  f.CreateBiquadIIR(4, 3, 500, 8000, 1);
  f.CreateBiquadIIR(-1, 3, 500, 8000, 1);
  f.CreateBiquadIIR(IIR_PEAKING, 3, 500, 0, 1);  // rate 0: no finite design
  f.CreateBiquadIIR(IIR_LOWPASS, 0, 0, 8000, 1);  // 0 Hz: 0/0 in the bandwidth term
  EXPECT_EQ(f.IIRType(), IIR_PEAKING);
  EXPECT_EQ(f.samplerate(), 44100);
  EXPECT_EQ(f.Frequency(), kBandCentre);
  EXPECT_EQ(f.coefficients().b1, coefficients.b1);
  EXPECT_EQ(f.memories().y1, memories.y1);
  EXPECT_FALSE(IIRFilter::Design(4, 0, 1000, kRate, 1));
}

TEST(IIRFilterTest, EightBitScalingAndSaturation) {
  IIRFilter f = Peaking(0);
  std::vector<uint8_t> bytes{128};
  f.ProcessSamples_8bit(bytes);
  EXPECT_EQ(bytes[0], 128);

  IIRFilter g = Peaking(0);
  bytes = {0};  // x = -128/127 < -1
  g.ProcessSamples_8bit(bytes);
  EXPECT_EQ(bytes[0], 0);

  // A +12 dB boost of a full-scale 8-bit sine saturates at 0 and 255.
  IIRFilter h = Peaking(12);
  std::vector<uint8_t> sine(8820);
  const std::vector<int16_t> ref = Sine(127, kBandCentre, kRate, sine.size());
  std::transform(ref.begin(), ref.end(), sine.begin(), [](int16_t v) { return static_cast<uint8_t>(v + 128); });
  h.ProcessSamples_8bit(sine);
  EXPECT_EQ(*std::max_element(sine.begin() + 4410, sine.end()), 255);
  EXPECT_EQ(*std::min_element(sine.begin() + 4410, sine.end()), 0);
}

TEST(IIRFilterTest, CascadeEqualsBandsInSeriesAndSkipsDisabledBands) {
  std::vector<IIRFilter> fused{Peaking(6, 80), Peaking(-4, 455), Peaking(12, 2586), Peaking(3, 14700)};
  // More bands than one wavefront holds run as several groups in series.
  for (int i = 0; i < 17; ++i) fused.push_back(Peaking(static_cast<float>(i % 5) - 2, 100.0f + 500.0f * i));
  std::vector<IIRFilter> serial = fused;
  fused[2].Enabled(false);
  serial[2].Enabled(false);
  std::vector<int16_t> a = Noise(5000, 30000);
  std::vector<int16_t> b = a;
  IIRFilter::ProcessCascade_16bit(fused, a);
  for (IIRFilter& band : serial) band.ProcessSamples_16bit(b);
  EXPECT_EQ(a, b);
  for (std::size_t k = 0; k < fused.size(); ++k) {
    EXPECT_EQ(fused[k].memories().y1, serial[k].memories().y1) << k;
    EXPECT_EQ(fused[k].memories().x2, serial[k].memories().x2) << k;
  }
  EXPECT_EQ(fused[2].memories().y1, 0.0f);
}
