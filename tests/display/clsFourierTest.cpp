// The transform against a direct DFT, the input weighting, the lazy transform
// and the two error numbers with their texts.
#include "display/clsFourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <random>
#include <vector>

#include "common/AppError.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);

void ExpectError(int32_t number, const char* text, const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "no error " << number;
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(e.description(), text);
  }
}

const char* const kLengthText = "Number of samples must be a positive value of the form 2 ^ n";
const char* const kIndexText = "Index out of range or number of samples unknown";

std::vector<std::complex<double>> DirectDft(const std::vector<std::complex<double>>& x) {
  const size_t n = x.size();
  std::vector<std::complex<double>> out(n);
  for (size_t k = 0; k < n; ++k) {
    std::complex<double> sum = 0;
    for (size_t j = 0; j < n; ++j) sum += x[j] * std::polar(1.0, -2.0 * kPi * double((k * j) % n) / double(n));
    out[k] = sum;
  }
  return out;
}

}  // namespace

TEST(clsFourier, RejectsLengthsThatAreNotPowersOfTwoAndKeepsTheOldOne) {
  clsFourier f;
  for (int32_t bad : {1, 0, -1, -8, 3, 1000, INT32_MIN})
    ExpectError(380, kLengthText, [&] { f.NumberOfSamples(bad); });
  f.NumberOfSamples(2);
  f.WithTimeWindow(0);
  f.RealIn(1, 2.0);
  f.RealIn(2, 4.0);
  ExpectError(380, kLengthText, [&] { f.NumberOfSamples(6); });
  // Length 2 is still in force and the inputs survive: halved, 1 + 2 and 1 - 2.
  EXPECT_DOUBLE_EQ(f.RealOut(1), 3.0);
  EXPECT_DOUBLE_EQ(f.RealOut(2), -1.0);
  ExpectError(381, kIndexText, [&] { f.RealOut(3); });
}

TEST(clsFourier, IndexedMembersCheckTheLengthAndTheIndex) {
  clsFourier unsized;
  ExpectError(381, kIndexText, [&] { unsized.RealIn(1, 1.0); });
  ExpectError(381, kIndexText, [&] { unsized.ImagIn(1, 1.0); });
  ExpectError(381, kIndexText, [&] { unsized.RealOut(1); });
  ExpectError(381, kIndexText, [&] { unsized.ImagOut(1); });
  ExpectError(381, kIndexText, [&] { unsized.ComplexOut(1); });

  clsFourier f;
  f.NumberOfSamples(8);
  for (int32_t bad : {0, 9, -1}) {
    ExpectError(381, kIndexText, [&] { f.RealIn(bad, 1.0); });
    ExpectError(381, kIndexText, [&] { f.ImagIn(bad, 1.0); });
    ExpectError(381, kIndexText, [&] { f.ComplexOut(bad); });
  }
  EXPECT_EQ(f.Timing(), 0.0f);  // a refused read runs no transform
  EXPECT_NO_THROW(f.RealIn(8, 1.0));
}

TEST(clsFourier, ConstantInputWithoutWindowGivesOnlyTheHalvedSum) {
  clsFourier f;
  f.NumberOfSamples(8);
  for (int32_t i = 1; i <= 8; ++i) f.RealIn(i, 2.0);
  EXPECT_NEAR(f.RealOut(1), 8.0, 1e-12);
  EXPECT_NEAR(f.ImagOut(1), 0.0, 1e-12);
  EXPECT_NEAR(f.ComplexOut(1), 8.0, 1e-12);
  for (int32_t i = 2; i <= 8; ++i) EXPECT_NEAR(f.ComplexOut(i), 0.0, 1e-12) << "bin " << i - 1;
}

TEST(clsFourier, MatchesADirectDftOfRandomComplexInput) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> dist(-32768.0, 32767.0);
  for (int32_t n : {2, 4, 16, 256, 1024}) {
    clsFourier f;
    f.NumberOfSamples(n);
    std::vector<std::complex<double>> x(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      const double re = dist(rng), im = dist(rng);
      f.RealIn(i + 1, re);
      f.ImagIn(i + 1, im);
      x[static_cast<size_t>(i)] = {re / 2.0, im};  // RealIn halves without the window
    }
    const auto expected = DirectDft(x);
    double peak = 0;
    for (const auto& e : expected) peak = std::max(peak, std::abs(e));
    for (int32_t k = 0; k < n; ++k) {
      const auto& e = expected[static_cast<size_t>(k)];
      // Forward sign: ImagOut must match, not only the magnitude.
      EXPECT_NEAR(f.RealOut(k + 1), e.real(), 1e-9 * peak) << "n " << n << " bin " << k;
      EXPECT_NEAR(f.ImagOut(k + 1), e.imag(), 1e-9 * peak) << "n " << n << " bin " << k;
      EXPECT_NEAR(f.ComplexOut(k + 1), std::abs(e), 1e-9 * peak) << "n " << n << " bin " << k;
    }
  }
}

TEST(clsFourier, ForwardSignPutsASineAtMinusIAtItsOwnBin) {
  // x[n] = sin(2 pi 3 n / N) = (e^(i..) - e^(-i..)) / 2i: the forward transform
  // gives -i N/2 at bin 3 and +i N/2 at bin N - 3 (the conjugate sign would swap them).
  const int32_t n = 64;
  clsFourier f;
  f.NumberOfSamples(n);
  for (int32_t i = 0; i < n; ++i) f.RealIn(i + 1, 2.0 * std::sin(2.0 * kPi * 3 * i / n));  // halved on input
  EXPECT_NEAR(f.RealOut(4), 0.0, 1e-9);
  EXPECT_NEAR(f.ImagOut(4), -n / 2.0, 1e-9);
  EXPECT_NEAR(f.ImagOut(n - 2), n / 2.0, 1e-9);
  EXPECT_NEAR(f.ComplexOut(5), 0.0, 1e-9);
}

TEST(clsFourier, BlackmanWindowSilencesTheEndsAndWeightsTheMiddle) {
  const int32_t n = 16;
  clsFourier f;
  f.NumberOfSamples(n);
  f.WithTimeWindow(1);
  // Only the first (or last) sample set: the whole spectrum is that weighted value.
  f.RealIn(1, 1000.0);
  EXPECT_NEAR(f.ComplexOut(1), 0.0, 1e-9);
  EXPECT_NEAR(f.ComplexOut(5), 0.0, 1e-9);
  f.RealIn(1, 0.0);
  f.RealIn(n, 1000.0);
  EXPECT_NEAR(f.ComplexOut(1), 0.0, 1e-9);

  // A delta at position m has a flat magnitude spectrum equal to w(m) * value.
  clsFourier g;
  g.NumberOfSamples(n);
  g.WithTimeWindow(1);
  const int32_t m = 5;  // Index 6
  g.RealIn(m + 1, 1000.0);
  const double theta = m * 2.0 * kPi / (n - 1);
  const double w = 0.42 - 0.5 * std::cos(theta) + 0.08 * std::cos(2 * theta);
  for (int32_t k = 1; k <= n; ++k) EXPECT_NEAR(g.ComplexOut(k), w * 1000.0, 1e-9);

  // Switching the window off affects later writes only: halved, not weighted.
  g.WithTimeWindow(0);
  g.NumberOfSamples(n);
  g.RealIn(m + 1, 1000.0);
  EXPECT_NEAR(g.ComplexOut(3), 500.0, 1e-9);
}

TEST(clsFourier, RealInClearsTheImaginaryPartImagInKeepsTheRealPart) {
  clsFourier f;
  f.NumberOfSamples(4);
  f.ImagIn(2, 5.0);
  f.RealIn(2, 6.0);  // delta of 3 + 0i at n = 1
  EXPECT_NEAR(f.RealOut(1), 3.0, 1e-12);
  EXPECT_NEAR(f.ImagOut(1), 0.0, 1e-12);

  clsFourier g;
  g.NumberOfSamples(4);
  g.RealIn(1, 6.0);
  g.ImagIn(1, 5.0);  // delta of 3 + 5i at n = 0: flat spectrum
  for (int32_t k = 1; k <= 4; ++k) {
    EXPECT_NEAR(g.RealOut(k), 3.0, 1e-12);
    EXPECT_NEAR(g.ImagOut(k), 5.0, 1e-12);
  }
}

TEST(clsFourier, TransformRunsOnceForTwoReadsAndAgainAfterNewInput) {
  clsFourier f;
  EXPECT_EQ(f.Timing(), 0.0f);
  f.NumberOfSamples(1 << 14);
  EXPECT_EQ(f.Timing(), 0.0f);
  f.RealIn(1, 2.0);
  const double first = f.RealOut(1);
  const float timing = f.Timing();
  EXPECT_GT(timing, 0.0f);
  // A second read of a clean array runs nothing: same value, same timing.
  EXPECT_EQ(f.RealOut(2), first);
  EXPECT_EQ(f.Timing(), timing);
  // Running the in-place transform twice would turn the flat spectrum of the
  // delta into a scaled delta, so a second run would show at bin 1.
  EXPECT_DOUBLE_EQ(f.RealOut(2), 1.0);

  // New input after a transform mixes with the outputs left in place.
  f.NumberOfSamples(4);
  f.RealIn(1, 2.0);  // delta 1 at n = 0 -> all bins 1
  ASSERT_DOUBLE_EQ(f.RealOut(1), 1.0);
  f.RealIn(1, 2.0);  // rewrites element 0 only; others hold outputs 1, 1, 1
  EXPECT_NEAR(f.RealOut(1), 4.0, 1e-12);
}

TEST(clsFourier, NewLengthDiscardsInputsEvenWhenUnchanged) {
  clsFourier f;
  f.NumberOfSamples(8);
  f.RealIn(3, 10.0);
  f.NumberOfSamples(8);
  for (int32_t k = 1; k <= 8; ++k) EXPECT_EQ(f.ComplexOut(k), 0.0);
}
