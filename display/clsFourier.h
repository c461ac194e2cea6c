// clsFourier: radix-2 fast Fourier transform with a property-style interface.
// Fix the length once (NumberOfSamples, a power of two >= 2), optionally switch
// on the Blackman window, write inputs by 1-based index, read bins by 1-based
// index. The transform runs lazily, in place, on the first read after an input
// changed; results are the unnormalised forward transform
// X[k] = sum over n of x[n] e^(-2 pi i k n / N). UI thread only.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

class clsFourier {
 public:
  clsFourier();

  // Errors: 380 "Number of samples must be a positive value of the form 2 ^ n"
  // (length < 2 or not a power of two); 381 "Index out of range or number of
  // samples unknown" (an indexed member before a valid length, Index < 1 or > N).

  // Discards every input and output (even when the length is unchanged).
  void NumberOfSamples(int32_t nuNumSam);
  // Non-zero: later RealIn values are weighted by the Blackman window; zero:
  // they are halved. Values already written are not re-weighted.
  void WithTimeWindow(int32_t nuTimeWindow);

  void RealIn(int32_t Index, double nuValueIn);  // also sets the imaginary part to 0
  void ImagIn(int32_t Index, double nuValueIn);  // unweighted; the real part stays

  double RealOut(int32_t Index) const;
  double ImagOut(int32_t Index) const;
  double ComplexOut(int32_t Index) const;  // magnitude of bin Index - 1

  // Duration of the most recent transform in milliseconds; 0 before the first.
  float Timing() const;

 private:
  struct Complex {
    double Re;
    double Im;
  };
  // Re in lane 0, Im in lane 1.
  typedef double Pair __attribute__((vector_size(16)));
  // Twiddle w as (w.Re, w.Re) and (-w.Im, w.Im): w * b = b * re + swap(b) * im.
  struct Twiddle {
    Pair re;
    Pair im;
  };

  // Index - 1 when Index is within 1..N; otherwise throws 381.
  size_t CheckIndex(int32_t Index) const;
  [[noreturn]] static void ThrowBadIndex();
  Complex GetOutput(int32_t Index) const;
  std::vector<Twiddle> BuildTwiddles(int32_t n) const;
  void Transform() const;
  static int32_t ReverseBits(int32_t value, int32_t count);

  double pi_;
  double twoPi_;
  // Inputs at their bit-reversed positions; after a transform the outputs in
  // natural order. Mutable: reading an output runs the pending transform.
  mutable std::vector<Pair> work_;
  mutable bool dirty_ = false;
  mutable float timingMs_ = 0.0f;
  int32_t lastIndex_ = 0;  // N - 1
  int32_t bitCount_ = 0;   // log2 N
  bool samplesUnknown_ = true;
  int32_t timeWindow_ = 0;
  // Per-length tables, built by NumberOfSamples so writing an input costs no
  // bit loop and no cosine: the bit-reversed slot and the Blackman weight of
  // each input position.
  std::vector<int32_t> reversed_;
  std::vector<double> blackman_;
  // Twiddle factors of every stage from span 2 up to N, N - 1 entries.
  std::vector<Twiddle> twiddles_;
};

// The per-element members are inline: the spectrum display calls them about
// 1500 times per frame, and a call each would cost as much as the transform.

inline size_t clsFourier::CheckIndex(int32_t Index) const {
  // Unsized: lastIndex_ is 0 and samplesUnknown_ set; Index - 1 as unsigned
  // also rejects Index < 1.
  const auto i = static_cast<uint32_t>(Index) - 1u;
  if (samplesUnknown_ || i > static_cast<uint32_t>(lastIndex_)) ThrowBadIndex();
  return i;
}

inline void clsFourier::RealIn(int32_t Index, double nuValueIn) {
  const size_t i = CheckIndex(Index);
  const double value = timeWindow_ != 0 ? blackman_[i] * nuValueIn : nuValueIn / 2.0;
  work_[static_cast<size_t>(reversed_[i])] = Pair{value, 0.0};
  dirty_ = true;
}

inline void clsFourier::ImagIn(int32_t Index, double nuValueIn) {
  const size_t i = CheckIndex(Index);
  work_[static_cast<size_t>(reversed_[i])][1] = nuValueIn;
  dirty_ = true;
}

inline clsFourier::Complex clsFourier::GetOutput(int32_t Index) const {
  const size_t i = CheckIndex(Index);
  if (dirty_) Transform();
  const Pair& c = work_[i];
  return Complex{c[0], c[1]};
}

inline double clsFourier::RealOut(int32_t Index) const { return GetOutput(Index).Re; }

inline double clsFourier::ImagOut(int32_t Index) const { return GetOutput(Index).Im; }

inline double clsFourier::ComplexOut(int32_t Index) const {
  const Complex c = GetOutput(Index);
  return std::sqrt(c.Re * c.Re + c.Im * c.Im);
}
