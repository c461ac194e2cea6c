// clsFourier: decimation-in-time radix-2 FFT, in place. Inputs are stored at
// their bit-reversed positions as they are written, so the transform needs no
// reordering pass; each stage evaluates one pair of sines and turns the twiddle
// factor by a recurrence, with no trigonometric call per butterfly.
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

clsFourier::clsFourier() : pi_(4.0 * std::atan(1.0)), twoPi_(2.0 * pi_), work_(1, Complex{0.0, 0.0}) {}

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

  const auto n = static_cast<size_t>(nuNumSam);
  work_.assign(n, Complex{0.0, 0.0});
  samplesUnknown_ = false;
  lastIndex_ = nuNumSam - 1;
  bitCount_ = RoundToInt32(std::log(static_cast<double>(nuNumSam)) / std::log(2.0));
  dirty_ = true;

  reversed_.resize(n);
  blackman_.resize(n);
  for (int32_t i = 0; i < nuNumSam; ++i) {
    reversed_[static_cast<size_t>(i)] = ReverseBits(i, bitCount_);
    // Blackman window over the N points: 0 (up to rounding) at both ends.
    const double theta = i * twoPi_ / lastIndex_;
    blackman_[static_cast<size_t>(i)] = 0.42 - 0.5 * std::cos(theta) + 0.08 * std::cos(2.0 * theta);
  }
}

void clsFourier::WithTimeWindow(int32_t nuTimeWindow) { timeWindow_ = nuTimeWindow; }

void clsFourier::CheckIndex(int32_t Index) const {
  if (samplesUnknown_ || Index < 1 || Index > lastIndex_ + 1) throw AppError(kErrBadIndex, kBadIndexText);
}

void clsFourier::RealIn(int32_t Index, double nuValueIn) {
  CheckIndex(Index);
  const auto i = static_cast<size_t>(Index - 1);
  Complex& slot = work_[static_cast<size_t>(reversed_[i])];
  slot.Re = timeWindow_ != 0 ? blackman_[i] * nuValueIn : nuValueIn / 2.0;
  slot.Im = 0.0;
  dirty_ = true;
}

void clsFourier::ImagIn(int32_t Index, double nuValueIn) {
  CheckIndex(Index);
  work_[static_cast<size_t>(reversed_[static_cast<size_t>(Index - 1)])].Im = nuValueIn;
  dirty_ = true;
}

const clsFourier::Complex& clsFourier::GetOutput(int32_t Index) const {
  CheckIndex(Index);
  if (dirty_) Transform();
  return work_[static_cast<size_t>(Index - 1)];
}

double clsFourier::RealOut(int32_t Index) const { return GetOutput(Index).Re; }

double clsFourier::ImagOut(int32_t Index) const { return GetOutput(Index).Im; }

double clsFourier::ComplexOut(int32_t Index) const {
  const Complex& c = GetOutput(Index);
  return std::sqrt(c.Re * c.Re + c.Im * c.Im);
}

float clsFourier::Timing() const { return timingMs_; }

void clsFourier::Transform() const {
  dirty_ = false;
  const auto start = std::chrono::steady_clock::now();

  Complex* const a = work_.data();
  const int32_t n = lastIndex_ + 1;
  for (int32_t half = 1, span = 2; span <= n; half = span, span *= 2) {
    // w starts at 1 and turns by e^(-2 pi i / span) per butterfly:
    // w <- w (cos - i sin) with cos = 1 - alpha, sin = beta.
    const double theta = pi_ / span;
    const double alpha = std::sin(theta) * (2.0 * std::sin(theta));  // 1 - cos(2 pi / span)
    const double beta = std::sin(2.0 * theta);                       // sin(2 pi / span)
    double wRe = 1.0;
    double wIm = 0.0;
    // Every group of a stage sees the same sequence of twiddles, so the
    // twiddle loop runs outside the group loop: one recurrence step per
    // offset instead of per butterfly, and independent butterflies inside.
    for (int32_t k = 0; k < half; ++k) {
      for (int32_t g = k; g < n; g += span) {
        Complex& p = a[g];
        Complex& q = a[g + half];
        const double tr = wRe * q.Re - wIm * q.Im;
        const double ti = q.Im * wRe + wIm * q.Re;
        q.Re = p.Re - tr;
        p.Re = p.Re + tr;
        q.Im = p.Im - ti;
        p.Im = p.Im + ti;
      }
      const double newRe = wRe - alpha * wRe + beta * wIm;
      const double newIm = wIm - alpha * wIm - beta * wRe;
      wRe = newRe;
      wIm = newIm;
    }
  }

  const auto end = std::chrono::steady_clock::now();
  timingMs_ = std::chrono::duration<float, std::milli>(end - start).count();
}
