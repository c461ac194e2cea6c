// clsDSP: parameters and their limits, the update operations, each effect's exact
// numbers, the fixed chain order and the one-stream treatment of stereo blocks.
#include "effects/clsDSP.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/AppError.h"
#include "tests/effects/SignalHelpers.h"

using namespace effects_test;

namespace {

clsDSP& Configure(clsDSP& dsp, int32_t rate, int16_t channels, int32_t effects) {
  dsp.samplerate(rate);
  dsp.Channels(channels);
  dsp.EffectsUsed(effects);
  return dsp;
}

std::vector<int16_t> Impulse(int16_t value, std::size_t count) {
  std::vector<int16_t> block(count, 0);
  block[0] = value;
  return block;
}

void ExpectAppError(const std::function<void()>& action, const std::string& text) {
  try {
    action();
    ADD_FAILURE() << "no error, expected " << text;
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), 32000);
    EXPECT_EQ(e.description(), text);
  }
}

std::vector<int16_t> Ramp(std::size_t count) {
  std::vector<int16_t> block(count);
  for (std::size_t n = 0; n < count; ++n) block[n] = static_cast<int16_t>((n * 7919) % 65536 - 32768);
  return block;
}

}  // namespace

TEST(clsDSPTest, DefaultsBeforeConfiguration) {
  clsDSP dsp;
  EXPECT_EQ(dsp.samplerate(), 0);
  EXPECT_EQ(dsp.Channels(), 0);
  EXPECT_EQ(dsp.EffectsUsed(), 0);
  EXPECT_EQ(dsp.EchoLength(), 100);
  EXPECT_EQ(dsp.EchoAmp(), 0.4f);
  EXPECT_EQ(dsp.AmplifyDB(), 3);
  EXPECT_EQ(dsp.PhaseShiftDry(), 1.0f);
  EXPECT_EQ(dsp.PhaseShiftWet(), 1.0f);
  EXPECT_EQ(dsp.PhaseShiftFeedback(), 0.5f);
  EXPECT_EQ(dsp.PhaseShiftSweepRate(), 1.0f);
  EXPECT_EQ(dsp.PhaseShiftSweepRange(), 4.0f);
  EXPECT_EQ(dsp.PhaseShiftFrequency(), 100.0f);
  EXPECT_EQ(dsp.EqualizerBands(), 7);
  for (int32_t i = 0; i < 7; ++i) {
    EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
    EXPECT_EQ(dsp.EqualizerBandFrequency(i), 0);  // filters not configured yet
  }
  EXPECT_EQ(dsp.EchoDelaySamples(), 0u);
}

TEST(clsDSPTest, InertUntilRateAndChannelsAreSet) {
  clsDSP dsp;
  dsp.EffectsUsed(15);
  const std::vector<int16_t> original = Ramp(1000);
  std::vector<int16_t> block = original;
  dsp.ProcessSamples(block);
  EXPECT_EQ(block, original);
  dsp.samplerate(44100);  // channels still unset
  dsp.ProcessSamples(block);
  EXPECT_EQ(block, original);
  EXPECT_EQ(dsp.EqualizerBandFrequency(0), 0);  // nothing configured yet
  dsp.Channels(2);
  EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
}

TEST(clsDSPTest, RefusedWritesRaise32000AndKeepTheOldValue) {
  clsDSP dsp;
  dsp.samplerate(8000);
  dsp.Channels(1);
  for (int32_t bad : {0, -1, 96001}) ExpectAppError([&] { dsp.samplerate(bad); }, "invalid samplerate");
  EXPECT_EQ(dsp.samplerate(), 8000);
  for (int16_t bad : {0, 3, -1}) ExpectAppError([&] { dsp.Channels(bad); }, "invalid channels");
  EXPECT_EQ(dsp.Channels(), 1);
  dsp.EqualizerBandGainDB(2, 5);
  for (int32_t bad : {0, 11}) ExpectAppError([&] { dsp.EqualizerBands(bad); }, "Out Of Bounds!");
  EXPECT_EQ(dsp.EqualizerBands(), 7);
  EXPECT_EQ(dsp.EqualizerBandGainDB(2), 5.0f);
  dsp.samplerate(96000);
  dsp.samplerate(1);
  EXPECT_EQ(dsp.samplerate(), 1);
  // Band indexes outside the band count are refused instead of reaching past the arrays.
  EXPECT_THROW(dsp.EqualizerBandGainDB(7, 1.0f), AppError);
  EXPECT_THROW(dsp.EqualizerBandFrequency(-1), AppError);
}

TEST(clsDSPTest, AmplifierDefaultThreeDBRoundsAndSaturates) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_AMPLIFY);
  std::vector<int16_t> block{10000, 30000, -30000, 0, -1, 3};
  dsp.ProcessSamples(block);
  EXPECT_EQ(block, (std::vector<int16_t>{14125, 32767, -32768, 0, -1, 4}));
  dsp.AmplifyDB(-6);  // factor 0.5011872: 10000 -> 5011.872
  block = {10000};
  dsp.ProcessSamples(block);
  EXPECT_EQ(block[0], 5012);
}

TEST(clsDSPTest, EchoImpulseDecaysGeometrically) {
  clsDSP dsp;
  Configure(dsp, 8000, 1, FX_ECHO);
  dsp.EchoLength(1);
  dsp.EchoAmp(0.5f);
  EXPECT_EQ(dsp.EchoDelaySamples(), 8u);
  std::vector<int16_t> block = Impulse(16384, 24);
  // Two blocks: the delay line carries over.
  dsp.ProcessSamples(std::span(block).first(5));
  dsp.ProcessSamples(std::span(block).subspan(5));
  std::vector<int16_t> expected(24, 0);
  expected[0] = 16384;
  expected[8] = 8192;
  expected[16] = 4096;
  EXPECT_EQ(block, expected);
}

TEST(clsDSPTest, EchoLineLengthAndAmplitudeLimits) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_ECHO);
  EXPECT_EQ(dsp.EchoDelaySamples(), 4410u);
  dsp.EchoAmp(0.5f);
  std::vector<int16_t> block = Impulse(1000, 4411);
  dsp.ProcessSamples(block);
  EXPECT_EQ(block[4409], 0);
  EXPECT_EQ(block[4410], 500);

  dsp.EchoAmp(2.0f);
  EXPECT_EQ(dsp.EchoAmp(), 0.9f);
  dsp.EchoAmp(-3.0f);  // no lower limit
  EXPECT_EQ(dsp.EchoAmp(), -3.0f);
}

TEST(clsDSPTest, EchoTooShortForTheRateUsesOneSampleDelay) {
  clsDSP dsp;
  Configure(dsp, 8000, 1, FX_ECHO);
  dsp.EchoAmp(0.5f);
  for (int32_t ms : {0, -5}) {
    dsp.EchoLength(ms);
    EXPECT_EQ(dsp.EchoDelaySamples(), 1u) << ms;
    std::vector<int16_t> block = Impulse(1000, 12);
    dsp.ProcessSamples(block);
    // Each echo is the previous output halved, rounded half to even: 62.5 -> 62, 15.5 -> 16, 0.5 -> 0.
    EXPECT_EQ(block, (std::vector<int16_t>{1000, 500, 250, 125, 62, 31, 16, 8, 4, 2, 1, 0})) << ms;
  }
}

TEST(clsDSPTest, EchoValueBeyondSixteenBitsSaturates) {
  clsDSP dsp;
  Configure(dsp, 8000, 1, FX_ECHO);
  dsp.EchoLength(0);
  dsp.EchoAmp(-3.0f);
  std::vector<int16_t> block{30000, 0, 0};
  dsp.ProcessSamples(block);
  // -90000 is stored as -32768; -32768 * -3 saturates at 32767.
  EXPECT_EQ(block, (std::vector<int16_t>{30000, -32768, 32767}));
}

TEST(clsDSPTest, EchoParameterChangesClearTheTail) {
  clsDSP dsp;
  Configure(dsp, 8000, 1, FX_ECHO);
  dsp.EchoLength(1);
  std::vector<int16_t> block = Impulse(16384, 4);
  dsp.ProcessSamples(block);
  for (const std::function<void()>& change : std::vector<std::function<void()>>{
           [&] { dsp.EchoAmp(0.3f); }, [&] { dsp.EchoLength(1); }, [&] { dsp.Channels(1); },
           [&] { dsp.samplerate(8000); }}) {
    dsp.ProcessSamples(block = Impulse(16384, 4));
    change();
    block.assign(16, 0);
    dsp.ProcessSamples(block);
    EXPECT_EQ(block, std::vector<int16_t>(16, 0));
  }
}

TEST(clsDSPTest, StereoBlockIsOneInterleavedStream) {
  // 11025 Hz, 1 ms: L = 11 interleaved samples, so the left impulse echoes on the right.
  clsDSP dsp;
  Configure(dsp, 11025, 2, FX_ECHO);
  dsp.EchoLength(1);
  dsp.EchoAmp(0.5f);
  EXPECT_EQ(dsp.EchoDelaySamples(), 11u);
  std::vector<int16_t> block = Impulse(16384, 24);
  dsp.ProcessSamples(block);
  EXPECT_EQ(block[11], 8192);
  EXPECT_EQ(block[22], 4096);
  // The equalizer too: one filter state across both channels, same as a mono stream.
  clsDSP stereo, mono;
  Configure(stereo, 44100, 2, FX_EQUALIZER).EqualizerBandGainDB(3, 9);
  Configure(mono, 44100, 1, FX_EQUALIZER).EqualizerBandGainDB(3, 9);
  std::vector<int16_t> a = Ramp(2048);
  std::vector<int16_t> b = a;
  stereo.ProcessSamples(a);
  mono.ProcessSamples(b);
  EXPECT_EQ(a, b);
}

TEST(clsDSPTest, SweepBoundsAndFactor) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_PHASESHIFT);
  clsDSP::SweepState s = dsp.PhaseShiftSweep();
  EXPECT_NEAR(s.Minimum, 0.0071238f, 5e-8);
  EXPECT_NEAR(s.Maximum, 0.1139807f, 5e-7);
  EXPECT_NEAR(s.Factor, 1.0001258f, 1e-7);
  EXPECT_EQ(s.Position, s.Minimum);
  EXPECT_EQ(s.Step, s.Factor);

  dsp.samplerate(8000);
  s = dsp.PhaseShiftSweep();
  EXPECT_NEAR(s.Minimum, 0.0392699f, 5e-8);
  EXPECT_NEAR(s.Maximum, 0.6283185f, 5e-7);
  EXPECT_NEAR(s.Factor, 1.0006934f, 1e-7);
}

TEST(clsDSPTest, SweepTurnsAtItsBoundsOncePerHalfCycle) {
  clsDSP dsp;
  Configure(dsp, 8000, 1, FX_PHASESHIFT);
  const clsDSP::SweepState start = dsp.PhaseShiftSweep();
  std::vector<int16_t> block(4000 + 10, 0);  // fs / (2 * 1 Hz) samples reach the maximum
  dsp.ProcessSamples(block);
  clsDSP::SweepState s = dsp.PhaseShiftSweep();
  EXPECT_FLOAT_EQ(s.Step, 1.0f / start.Factor);
  EXPECT_NEAR(s.Position, start.Maximum, start.Maximum * 0.01);
  block.assign(4000, 0);
  dsp.ProcessSamples(block);
  s = dsp.PhaseShiftSweep();
  EXPECT_EQ(s.Step, start.Factor);
  EXPECT_NEAR(s.Position, start.Minimum, start.Minimum * 0.01);
  // A parameter change restarts the sweep at its minimum.
  dsp.PhaseShiftFeedback(0.25f);
  EXPECT_EQ(dsp.PhaseShiftSweep().Position, start.Minimum);
}

TEST(clsDSPTest, PhaseShifterDryOnlyPassesSamplesButMemoriesAdvance) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_PHASESHIFT);
  dsp.PhaseShiftWet(0);
  dsp.PhaseShiftDry(1);
  const std::vector<int16_t> original = Ramp(3000);
  std::vector<int16_t> block = original;
  dsp.ProcessSamples(block);
  EXPECT_EQ(block, original);
  // The stages kept running: with the wet path back on, silence carries their tail.
  dsp.PhaseShiftWet(1);
  block.assign(64, 0);
  dsp.ProcessSamples(block);
  EXPECT_NE(block, std::vector<int16_t>(64, 0));
}

TEST(clsDSPTest, PhaseShifterDefaultsAlterAndSaturate) {
  clsDSP dsp;
  Configure(dsp, 44100, 1, FX_PHASESHIFT);
  // Far below the notches every stage passes with gain -1, four of them +1, and the
  // feedback of 0.5 doubles that: dry + wet is three times the input.
  std::vector<int16_t> block = Sine(16000, 10, 44100, 8820);
  const std::vector<int16_t> original = block;
  dsp.ProcessSamples(block);
  EXPECT_NE(block, original);
  EXPECT_EQ(*std::max_element(block.begin(), block.end()), 32767);
  EXPECT_EQ(*std::min_element(block.begin(), block.end()), -32768);
}

TEST(clsDSPTest, BandLayoutAtEachRate) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_EQUALIZER);
  const std::vector<int32_t> centres{80, 191, 455, 1084, 2586, 6165, 14700};
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(dsp.EqualizerBandFrequency(i), centres[i]) << i;
  EXPECT_NEAR(dsp.EqualizerBandFilter(1).Frequency(), 190.749f, 5e-4);
  EXPECT_NEAR(dsp.EqualizerBandFilter(3).Frequency(), 1084.435f, 5e-4);

  const struct {
    int32_t rate;
    int32_t top;
    float bandwidth;
  } rates[] = {{44100, 14700, 1.303394f}, {22050, 7350, 1.130107f}, {11025, 3675, 0.956820f}, {8000, 2667, 0.876671f}};
  for (const auto& r : rates) {
    dsp.samplerate(r.rate);
    EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80) << r.rate;
    EXPECT_EQ(dsp.EqualizerBandFrequency(6), r.top) << r.rate;
    for (int32_t i = 0; i < 7; ++i) {
      const IIRFilter& band = dsp.EqualizerBandFilter(i);
      EXPECT_NEAR(band.Bandwidth(), r.bandwidth, 5e-7) << r.rate;
      EXPECT_EQ(band.IIRType(), IIR_PEAKING);
      EXPECT_EQ(band.samplerate(), r.rate);
    }
  }
}

TEST(clsDSPTest, BandCountChangesReplaceFiltersAndResetGains) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_EQUALIZER);
  dsp.EqualizerBandGainDB(0, 6);
  dsp.EqualizerBands(10);
  EXPECT_EQ(dsp.EqualizerBands(), 10);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(dsp.EqualizerBandGainDB(i), 0.0f);
  EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
  EXPECT_EQ(dsp.EqualizerBandFrequency(9), 14700);
  dsp.EqualizerBands(1);  // a single band sits at the bottom of the range
  EXPECT_EQ(dsp.EqualizerBandFrequency(0), 80);
  EXPECT_TRUE(std::isfinite(dsp.EqualizerBandFilter(0).coefficients().b0));
  std::vector<int16_t> block = Ramp(500);
  const std::vector<int16_t> original = block;
  dsp.ProcessSamples(block);  // 0 dB: only rounding
  for (std::size_t n = 0; n < block.size(); ++n) ASSERT_LE(std::abs(block[n] - original[n]), 1);
}

TEST(clsDSPTest, GainChangeReconfiguresAndClearsEveryBand) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_EQUALIZER);
  std::vector<int16_t> block = Ramp(256);
  dsp.ProcessSamples(block);
  ASSERT_NE(dsp.EqualizerBandFilter(0).memories().x1, 0.0f);
  dsp.EqualizerBandGainDB(4, -7.5f);
  EXPECT_EQ(dsp.EqualizerBandFilter(4).GainDB(), -7.5f);
  const auto expected = IIRFilter::Design(IIR_PEAKING, -7.5f, dsp.EqualizerBandFilter(4).Frequency(), 44100,
                                          dsp.EqualizerBandFilter(4).Bandwidth());
  EXPECT_EQ(dsp.EqualizerBandFilter(4).coefficients().b0, expected->b0);
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(dsp.EqualizerBandFilter(i).memories().x1, 0.0f) << i;
}

TEST(clsDSPTest, FlatEqualizerChangesOnlyByRounding) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, FX_EQUALIZER);
  const std::vector<int16_t> original = Ramp(10240 / 2);
  std::vector<int16_t> block = original;
  dsp.ProcessSamples(block);
  for (std::size_t n = 0; n < block.size(); ++n) ASSERT_LE(std::abs(block[n] - original[n]), 7) << n;
}

TEST(clsDSPTest, EqualizerBandGainMeasuredAtItsCentre) {
  clsDSP dsp;
  Configure(dsp, 44100, 1, FX_EQUALIZER);
  dsp.EqualizerBandGainDB(3, 6);
  const double centre = dsp.EqualizerBandFilter(3).Frequency();
  const std::vector<int16_t> input = Sine(3000, centre, 44100, 44100);
  std::vector<int16_t> output = input;
  dsp.ProcessSamples(output);
  const double gain = ToDB(AmplitudeAt(output, centre, 44100, 4410) / AmplitudeAt(input, centre, 44100, 4410));
  // Neighbouring bands at 0 dB add nothing beyond rounding.
  EXPECT_NEAR(gain, 6.0, 0.1);
}

TEST(clsDSPTest, ChainRunsAmplifierEchoPhaserEqualizerInThatOrder) {
  clsDSP all, single;
  Configure(all, 8000, 1, FX_ECHO | FX_PHASESHIFT | FX_AMPLIFY | FX_EQUALIZER);
  Configure(single, 8000, 1, 0);
  for (clsDSP* dsp : {&all, &single}) {
    dsp->EchoLength(1);
    dsp->EqualizerBandGainDB(2, 8);
  }
  std::vector<int16_t> a = Sine(12000, 440, 8000, 800);
  std::vector<int16_t> b = a;
  all.ProcessSamples(a);
  for (int32_t bit : {FX_AMPLIFY, FX_ECHO, FX_PHASESHIFT, FX_EQUALIZER}) {
    single.EffectsUsed(bit);
    single.ProcessSamples(b);
  }
  EXPECT_EQ(a, b);
  // Amplifier before echo: 10000 -> 14125, echo 14125 * 0.4 = 5650.
  clsDSP order;
  Configure(order, 8000, 1, FX_AMPLIFY | FX_ECHO).EchoLength(1);
  std::vector<int16_t> impulse = Impulse(10000, 9);
  order.ProcessSamples(impulse);
  EXPECT_EQ(impulse[0], 14125);
  EXPECT_EQ(impulse[8], 5650);
}

TEST(clsDSPTest, EmptyBlockIsAcceptedByEveryEffect) {
  clsDSP dsp;
  Configure(dsp, 44100, 2, 15);
  std::vector<int16_t> empty;
  dsp.ProcessSamples(empty);
  EXPECT_EQ(dsp.PhaseShiftSweep().Position, dsp.PhaseShiftSweep().Minimum);
  std::vector<int16_t> block = Impulse(1000, 4);
  dsp.ProcessSamples(block);  // state intact after the empty call
  EXPECT_NE(block[0], 0);
}

// Settings handed to a second chain make it sound the same; handing over
// unchanged settings mid-stream leaves the running echo and sweep alone.
TEST(clsDSPSettingsTest, ApplyCopiesEverySettingAndDisturbsNothingUnchanged) {
  clsDSP model;
  model.EffectsUsed(FX_ECHO | FX_PHASESHIFT | FX_AMPLIFY | FX_EQUALIZER);
  model.EchoLength(37);
  model.EchoAmp(0.6f);
  model.AmplifyDB(-4);
  model.PhaseShiftWet(0.7f);
  model.PhaseShiftDry(-0.3f);
  model.PhaseShiftFeedback(0.2f);
  model.PhaseShiftSweepRate(2.5f);
  model.PhaseShiftSweepRange(3.0f);
  model.PhaseShiftFrequency(250.0f);
  model.EqualizerBands(5);
  model.EqualizerBandGainDB(3, -7.5f);

  const auto running = [] {
    auto dsp = std::make_unique<clsDSP>();
    dsp->samplerate(22050);
    dsp->Channels(2);
    return dsp;
  };
  auto reference = running();
  auto copy = running();
  reference->Apply(model.Settings());
  copy->Apply(model.Settings());
  std::vector<int16_t> a = Sine(9000, 440, 22050, 4410);
  std::vector<int16_t> b = a;
  reference->ProcessSamples(a);
  copy->ProcessSamples(b);
  EXPECT_EQ(b, a);
  EXPECT_EQ(copy->EqualizerBands(), 5);

  // Mid-stream: the same settings again, then the next block on both chains.
  copy->Apply(model.Settings());
  std::vector<int16_t> c = Sine(9000, 660, 22050, 4410);
  std::vector<int16_t> d = c;
  reference->ProcessSamples(c);
  copy->ProcessSamples(d);
  EXPECT_EQ(d, c) << "the echo tail and the sweep ran on";
}
