// clsFourier: decimation-in-time radix-2 FFT, in place. Inputs are stored at
// their bit-reversed positions as they are written, so the transform needs no
// reordering pass. Each stage's twiddle factors come from one pair of sines and
// a recurrence, tabled when the length is set, so a transform calls no
// trigonometric function at all. Complex values are held as pairs of doubles
// in one vector register where the machine has them (two-lane vectors of the
// compiler, plain scalar code elsewhere); the arithmetic per element is exactly
// that of the scalar butterfly.
#include "display/clsFourier.h"

#include <chrono>
#include <cmath>

#include "common/AppError.h"
#include "common/SampleMath.h"

namespace {

constexpr int32_t kErrBadLength = 380;
constexpr int32_t kErrBadIndex = 381;
const char* const kBadLengthText = "Number of samples must be a positive value of the form 2 ^ n";
const char* const kBadIndexText = "Index out of range or number of samples unknown";

}  // namespace

clsFourier::clsFourier() : pi_(4.0 * std::atan(1.0)), twoPi_(2.0 * pi_), work_(1, Pair{0.0, 0.0}) {}

int32_t clsFourier::ReverseBits(int32_t value, int32_t count) {
  int32_t r = 0;
  for (int32_t i = 0; i < count; ++i) {
    r = 2 * r + (value & 1);
    value /= 2;
  }
  return r;
}

void clsFourier::NumberOfSamples(int32_t nuNumSam) {
  if (nuNumSam < 2 || (nuNumSam & (nuNumSam - 1)) != 0) throw AppError(kErrBadLength, kBadLengthText);

  // Everything is built before anything is replaced, so running out of memory
  // for a huge length leaves the object as it was.
  const auto n = static_cast<size_t>(nuNumSam);
  const int32_t bitCount = RoundToInt32(std::log(static_cast<double>(nuNumSam)) / std::log(2.0));
  std::vector<Pair> work(n, Pair{0.0, 0.0});
  std::vector<int32_t> reversed(n);
  std::vector<double> blackman(n);
  for (int32_t i = 0; i < nuNumSam; ++i) {
    reversed[static_cast<size_t>(i)] = ReverseBits(i, bitCount);
    // Blackman window over the N points: 0 (up to rounding) at both ends.
    const double theta = i * twoPi_ / (nuNumSam - 1);
    blackman[static_cast<size_t>(i)] = 0.42 - 0.5 * std::cos(theta) + 0.08 * std::cos(2.0 * theta);
  }
  std::vector<Twiddle> twiddles = BuildTwiddles(nuNumSam);

  work_.swap(work);
  reversed_.swap(reversed);
  blackman_.swap(blackman);
  twiddles_.swap(twiddles);
  samplesUnknown_ = false;
  lastIndex_ = nuNumSam - 1;
  bitCount_ = bitCount;
  dirty_ = true;
}

void clsFourier::WithTimeWindow(int32_t nuTimeWindow) { timeWindow_ = nuTimeWindow; }

void clsFourier::ThrowBadIndex() { throw AppError(kErrBadIndex, kBadIndexText); }

float clsFourier::Timing() const { return timingMs_; }

std::vector<clsFourier::Twiddle> clsFourier::BuildTwiddles(int32_t n) const {
  // Stage with span s uses twiddles w_k = e^(-2 pi i k / s), k = 0 .. s/2 - 1,
  // stored from offset s/2 - 1; N - 1 in all. One pair of sines per stage, the
  // rest by the recurrence w <- w (cos - i sin), cos = 1 - alpha, sin = beta.
  std::vector<Twiddle> twiddles(static_cast<size_t>(n - 1));
  for (int64_t half = 1, span = 2; span <= n; half = span, span *= 2) {
    const double theta = pi_ / span;
    const double alpha = std::sin(theta) * (2.0 * std::sin(theta));  // 1 - cos(2 pi / span)
    const double beta = std::sin(2.0 * theta);                       // sin(2 pi / span)
    double wRe = 1.0;
    double wIm = 0.0;
    Twiddle* const stage = &twiddles[static_cast<size_t>(half - 1)];
    for (int64_t k = 0; k < half; ++k) {
      stage[k] = Twiddle{{wRe, wRe}, {-wIm, wIm}};
      const double newRe = wRe - alpha * wRe + beta * wIm;
      const double newIm = wIm - alpha * wIm - beta * wRe;
      wRe = newRe;
      wIm = newIm;
    }
  }
  return twiddles;
}

void clsFourier::Transform() const {
  dirty_ = false;
  const auto start = std::chrono::steady_clock::now();

  Pair* const a = work_.data();
  const int32_t n = lastIndex_ + 1;

  // The first two stages in one pass over groups of four: the first stage's
  // only twiddle is 1 (a sum and a difference), the second's are 1 and w1.
  // Same operations as two separate passes, one memory sweep fewer.
  int64_t firstSpan = 4;
  if (n == 2) {
    const Pair p = a[0], q = a[1];
    a[0] = p + q;
    a[1] = p - q;
    firstSpan = 2;
  } else {
    const Twiddle w1 = twiddles_[2];  // span 4, k = 1
    for (int32_t g = 0; g < n; g += 4) {
      const Pair b0 = a[g] + a[g + 1], b1 = a[g] - a[g + 1];
      const Pair b2 = a[g + 2] + a[g + 3], b3 = a[g + 2] - a[g + 3];
      const Pair t = b3 * w1.re + Pair{b3[1], b3[0]} * w1.im;
      a[g] = b0 + b2;
      a[g + 2] = b0 - b2;
      a[g + 1] = b1 + t;
      a[g + 3] = b1 - t;
    }
  }
  for (int64_t half = firstSpan, span = 2 * firstSpan; span <= n; half = span, span *= 2) {
    const Twiddle* const w = &twiddles_[static_cast<size_t>(half - 1)];
    for (int64_t g = 0; g < n; g += span) {
      Pair* const top = a + g;
      Pair* const bottom = top + half;
      for (int64_t k = 0; k < half; ++k) {
        // t = w * b as (w.Re b.Re - w.Im b.Im, b.Im w.Re + w.Im b.Re).
        const Pair b = bottom[k];
        const Pair t = b * w[k].re + Pair{b[1], b[0]} * w[k].im;
        const Pair p = top[k];
        bottom[k] = p - t;
        top[k] = p + t;
      }
    }
  }

  const auto end = std::chrono::steady_clock::now();
  timingMs_ = std::chrono::duration<float, std::milli>(end - start).count();
}
