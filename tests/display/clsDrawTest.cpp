// Waveform trace and spectrum bars checked pixel by pixel on a QImage surface.
#include "display/clsDraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "display/QImageSurface.h"
#include "display/modDraw.h"

namespace {

constexpr QRgb kBlackPx = 0xff000000;
constexpr QRgb kWhitePx = 0xffffffff;
const double kPi = 4.0 * std::atan(1.0);

// Rows of column x that are white.
std::vector<int> WhiteRows(const QImage& img, int x) {
  std::vector<int> rows;
  for (int y = 0; y < img.height(); ++y)
    if (img.pixel(x, y) == kWhitePx) rows.push_back(y);
  return rows;
}

// First and one-past-last row of the non-black run in column x; {0, 0} if none.
std::pair<int, int> BarRows(const QImage& img, int x) {
  int top = -1, bottom = -1;
  for (int y = 0; y < img.height(); ++y) {
    if (img.pixel(x, y) != kBlackPx) {
      if (top < 0) top = y;
      bottom = y + 1;
    }
  }
  return top < 0 ? std::pair{0, 0} : std::pair{top, bottom};
}

// A tone at FFT bin 2 of the 1024-point frame, full scale: saturates band 0.
std::vector<int16_t> LoudLowTone(size_t n = 1024) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(std::lround(32000 * std::sin(2 * kPi * 2 * i / 1024)));
  return v;
}

}  // namespace

TEST(clsDrawAmplitudes, FullScaleBlocksDrawOnTheOuterRowsOfTheTrace) {
  clsDraw d;
  QImageSurface s(100, 50);  // mid = 25; last column of the trace 97
  d.DrawAmplitudes(std::vector<int16_t>(1024, 32767), s);
  for (int x = 2; x <= 96; ++x) ASSERT_EQ(WhiteRows(s.image(), x), std::vector<int>{48}) << "x " << x;
  EXPECT_EQ(s.image().pixel(97, 48), kWhitePx);
  // The trace returns to the centre line at the end.
  EXPECT_EQ(s.image().pixel(98, 25), kWhitePx);
  EXPECT_EQ(s.image().pixel(99, 25), kBlackPx);

  // -32768 is clamped to -1: row 2; the black rectangle erased the old trace.
  d.DrawAmplitudes(std::vector<int16_t>(1024, -32768), s);
  for (int x = 2; x <= 96; ++x) ASSERT_EQ(WhiteRows(s.image(), x), std::vector<int>{2}) << "x " << x;
}

TEST(clsDrawAmplitudes, EachColumnIsTheMeanOfItsGroup) {
  clsDraw d;
  QImageSurface s(100, 50);
  // step = round(1023 / 100) = 10: column x shows samples 10(x-1) .. 10x - 1.
  // Alternating +32767 / -32767 averages to 0 -> centre line; a group of all
  // +16384 gives round(23 * 0.5 + 25) = 37 (halves to even).
  std::vector<int16_t> v(1024);
  for (size_t i = 0; i < v.size(); ++i) v[i] = (i % 2 == 0) ? 32767 : -32767;
  for (size_t i = 400; i < 410; ++i) v[i] = 16384;  // column 41
  d.DrawAmplitudes(v, s);
  EXPECT_EQ(WhiteRows(s.image(), 20), std::vector<int>{25});
  EXPECT_EQ(s.image().pixel(41, 37), kWhitePx);  // reached from the centre line
  EXPECT_EQ(s.image().pixel(41, 38), kBlackPx);
}

TEST(clsDrawAmplitudes, ShortBlocksNeverReadPastTheEndAndDrawTheRestOnTheCentreLine) {
  clsDraw d;
  QImageSurface s(100, 50);
  // 160 samples: step rounds up to 2, so 97 columns would need 194 samples;
  // columns 1..80 use the block, 81.. are on the centre line.
  d.DrawAmplitudes(std::vector<int16_t>(160, 32767), s);
  EXPECT_EQ(WhiteRows(s.image(), 50), std::vector<int>{48});
  EXPECT_EQ(WhiteRows(s.image(), 90), std::vector<int>{25});

  // 10 samples: step 0 is taken as 1.
  d.DrawAmplitudes(std::vector<int16_t>(10, 32767), s);
  EXPECT_EQ(WhiteRows(s.image(), 5), std::vector<int>{48});
  EXPECT_EQ(WhiteRows(s.image(), 50), std::vector<int>{25});

  d.DrawAmplitudes({}, s);
  EXPECT_EQ(WhiteRows(s.image(), 50), std::vector<int>{25});

  // A surface narrower than the margins: the two closing segments only.
  QImageSurface narrow(3, 10);
  d.DrawAmplitudes(std::vector<int16_t>(1024, 32767), narrow);
  EXPECT_EQ(WhiteRows(narrow.image(), 0), std::vector<int>{5});
  EXPECT_EQ(WhiteRows(narrow.image(), 1), std::vector<int>{5});
  EXPECT_TRUE(WhiteRows(narrow.image(), 2).empty());
}

TEST(clsDrawRect, FillsWithExclusiveEdges) {
  clsDraw d;
  QImageSurface s(10, 4);
  d.DrawRect(s, 0, 1, 6, 3, modDraw::kOrange);
  EXPECT_EQ(s.image().pixel(5, 2), qRgb(225, 168, 34));
  EXPECT_EQ(s.image().pixel(6, 2), kBlackPx);
  EXPECT_EQ(s.image().pixel(0, 3), kBlackPx);
}

TEST(clsDrawFrequencies, TooFewSamplesLeaveTheImageAndTheBarsUntouched) {
  clsDraw d;
  QImageSurface s(100, 100);
  d.DrawFrequencies(LoudLowTone(), s);
  const QImage before = s.image();
  d.DrawFrequencies(LoudLowTone(1023), s);
  EXPECT_EQ(s.image(), before);
  // Nor did the bars fall: the next silent call drops the full bar by one step only.
  d.DrawFrequencies(std::vector<int16_t>(1024, 0), s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{5, 98}));
}

TEST(clsDrawFrequencies, FullBarSpansFromRowTwoToTheBottomMarginOnAFourPixelPitch) {
  clsDraw d;
  QImageSurface s(100, 100);
  d.DrawFrequencies(LoudLowTone(), s);
  const QImage& img = s.image();
  for (int x = 4; x <= 6; ++x) {
    EXPECT_EQ(BarRows(img, x), (std::pair{2, 98})) << "x " << x;
    EXPECT_EQ(img.pixel(x, 50), qRgb(255, 255, 50));
  }
  EXPECT_EQ(BarRows(img, 3), (std::pair{0, 0}));
  EXPECT_EQ(BarRows(img, 7), (std::pair{0, 0}));
  // Band 1 has no energy of its own (bins 6-9 lie outside the tone's window
  // lobe) but gets the running value carried from band 0, and each later band
  // a smaller share of it.
  int previousHeight = 96;
  for (int j = 1; j <= 6; ++j) {
    const auto [top, bottom] = BarRows(img, 4 + 4 * j);
    EXPECT_EQ(bottom, 98) << "band " << j;
    EXPECT_LT(bottom - top, previousHeight) << "band " << j;
    EXPECT_GT(bottom - top, 0) << "band " << j;
    previousHeight = bottom - top;
  }
}

TEST(clsDrawFrequencies, BandsReceiveTheUnclampedRunningValue) {
  // Reference levels from a direct DFT of the Blackman-weighted frame: bin k scaled
  // to 0..1 (saturating at 0.2 of 256 x full scale), bins 5j+1..5j+4 added to the
  // running value, which is weighted by (1 + w_j) / 3 and carried on unclamped.
  const auto tone = LoudLowTone();
  std::vector<double> s(110);
  for (int k = 1; k < 110; ++k) {
    double re = 0.0, im = 0.0;
    for (int n = 0; n < 1024; ++n) {
      const double window = 0.42 - 0.5 * std::cos(2 * kPi * n / 1023) + 0.08 * std::cos(4 * kPi * n / 1023);
      re += window * tone[n] * std::cos(2 * kPi * k * n / 1024);
      im -= window * tone[n] * std::sin(2 * kPi * k * n / 1024);
    }
    s[k] = std::min(std::hypot(re, im) / 256 / 32767, 0.2) / 0.2;
  }
  std::vector<double> v(clsDraw::kBands);
  double running = 0.0;
  for (int j = 0; j < clsDraw::kBands; ++j) {
    for (int k = 5 * j + 1; k <= 5 * j + 4; ++k) running += s[k];
    const double w = (1 - std::cos((j + 3) * 2 * kPi / 25)) * 0.5;
    running = (w + 1) * running / 3;
    v[j] = running;
  }
  ASSERT_GT(v[0], 1.0);  // band 0 is clamped, what it carries is not

  clsDraw d;
  QImageSurface s100(100, 100);
  d.DrawFrequencies(tone, s100);
  for (int j = 0; j < 6; ++j) {
    const double level = std::min(v[j], 1.0);
    const int top = std::max(2, static_cast<int>(std::lround(100 - 100 * level)) - 2);
    const auto [drawnTop, drawnBottom] = BarRows(s100.image(), 4 + 4 * j);
    EXPECT_NEAR(drawnTop, top, 1) << "band " << j;
    EXPECT_EQ(drawnBottom, 98) << "band " << j;
  }
}

TEST(clsDrawFrequencies, SilenceEmptiesAFullBarInFifteenCalls) {
  clsDraw d;
  QImageSurface s(100, 100);
  d.DrawFrequencies(LoudLowTone(), s);
  const std::vector<int16_t> silence(2048, 0);
  d.DrawFrequencies(silence, s);
  // Level 0.93: top = round(100 - 93) - 2 = 5, green round(237.15) = 237.
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{5, 98}));
  EXPECT_EQ(s.image().pixel(4, 50), qRgb(255, 237, 50));
  for (int call = 2; call <= 14; ++call) d.DrawFrequencies(silence, s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{96, 98}));  // 0.02 left
  d.DrawFrequencies(silence, s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{0, 0}));
}

TEST(clsDrawFrequencies, OnlyTheFirst1024SamplesCount) {
  clsDraw d;
  QImageSurface s(100, 100);
  std::vector<int16_t> v(1024, 0);
  const auto loud = LoudLowTone();
  v.insert(v.end(), loud.begin(), loud.end());
  d.DrawFrequencies(v, s);
  for (int j = 0; j < clsDraw::kBands; ++j) EXPECT_EQ(BarRows(s.image(), 4 + 4 * j), (std::pair{0, 0})) << j;
}

TEST(clsDrawFrequencies, ABufferRefilledInPlaceIsAnalysedAnewAndARepeatedOneHoldsItsBars) {
  // The window hands over one buffer, refilled with every captured block, and
  // draws about twice per block.
  clsDraw d;
  QImageSurface s(100, 100);
  std::vector<int16_t> block(1024, 0);
  d.DrawFrequencies(block, s);
  const auto loud = LoudLowTone();
  std::copy(loud.begin(), loud.end(), block.begin());
  d.DrawFrequencies(block, s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{2, 98}));
  d.DrawFrequencies(block, s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{2, 98})) << "the same block lifts the fallen bar again";
  std::fill(block.begin(), block.end(), int16_t{0});
  d.DrawFrequencies(block, s);
  EXPECT_EQ(BarRows(s.image(), 4), (std::pair{5, 98}));
}
