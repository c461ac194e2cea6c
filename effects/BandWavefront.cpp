// BandWavefront: the SIMD wavefront over the equalizer bands.
#include "effects/BandWavefront.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

using Lanes = float __attribute__((vector_size(16)));
using LaneSteps = int32_t __attribute__((vector_size(16)));
constexpr float kRoundingShift = 12582912.0f;  // 1.5 * 2^23, as in ClipSample

struct BandVector {
  Lanes b0, b1, b2, a1, a2;
  Lanes x1, x2, y1, y2;
  LaneSteps offset;  // kSkew * band index: lane k works kSkew * k samples behind lane 0
};

inline Lanes Splat(float v) { return Lanes{v, v, v, v}; }

using Owners = std::array<IIRFilter*, BandWavefront::kMaxBands>;

}  // namespace

// One block through V vectors of bands.
template <std::size_t V>
class BandWavefront::Wavefront {
 public:
  Wavefront(const Owners& owners, std::size_t n, std::span<int16_t> samples)
      : owners_(owners), count_(n), samples_(samples), lag_(kSkew * (n - 1)), lastBand_(n - 1) {
    for (std::size_t k = 0; k < n; ++k) {
      BandVector& b = bands_[k / kLanes];
      const std::size_t lane = k % kLanes;
      const IIRFilter::Coefficients& c = owners[k]->coefficients();
      const IIRFilter::Memories& m = owners[k]->memories();
      b.b0[lane] = c.b0;
      b.b1[lane] = c.b1;
      b.b2[lane] = c.b2;
      b.a1[lane] = c.a1;
      b.a2[lane] = c.a2;
      b.x1[lane] = m.x1;
      b.x2[lane] = m.x2;
      b.y1[lane] = m.y1;
      b.y2[lane] = m.y2;
      b.offset[lane] = static_cast<int32_t>(kSkew * k);
    }
  }

  void Run() {
    const std::size_t end = samples_.size() + lag_;
    for (std::size_t t = 0; t < end; t += kSkew) {
      // Unmasked only when every band has a sample of the block at every step.
      if (t >= lag_ && t + kSkew <= samples_.size()) {
        Steps<false>(t);
      } else {
        Steps<true>(t);
      }
    }
    for (std::size_t k = 0; k < count_; ++k) {
      const BandVector& b = bands_[k / kLanes];
      const std::size_t lane = k % kLanes;
      owners_[k]->memories_ = IIRFilter::Memories{b.x1[lane], b.x2[lane], b.y1[lane], b.y2[lane]};
    }
  }

 private:
  // kSkew steps from t, with ring slots known at compile time so the ring can
  // stay in registers.
  template <bool kMasked>
  [[gnu::always_inline]] void Steps(std::size_t t) {
    [&]<std::size_t... j>(std::index_sequence<j...>) {
      (Step<kMasked>(t + j, ring_[j]), ...);
    }(std::make_index_sequence<kSkew>{});
  }

  // Step t: `outputs` holds every lane's output of step t - kSkew and receives this
  // step's; the last band finishes sample t - lag.
  template <bool kMasked>
  [[gnu::always_inline]] void Step(std::size_t t, Lanes (&outputs)[V]) {
    const std::size_t count = samples_.size();
    const float input = (!kMasked || t < count) ? static_cast<float>(samples_[t]) : 0.0f;
    Advance<kMasked>(outputs, input, static_cast<int32_t>(t), static_cast<int32_t>(count));
    if (!kMasked || (t >= lag_ && t - lag_ < count)) {
      samples_[t - lag_] = static_cast<int16_t>(outputs[lastBand_ / kLanes][lastBand_ % kLanes]);
    }
  }

  // Every lane one sample on: inputs are last step-but-kSkew's outputs shifted up one
  // band, the block sample entering band 0. Masked steps leave the memories of
  // lanes whose sample lies outside the block untouched.
  template <bool kMasked>
  [[gnu::always_inline]] void Advance(Lanes (&outputs)[V], float input, int32_t t, int32_t count) {
    Lanes in[V];
    in[0] = __builtin_shufflevector(Splat(input), outputs[0], 0, 4, 5, 6);
#pragma GCC unroll 4
    for (std::size_t v = 1; v < V; ++v) in[v] = __builtin_shufflevector(outputs[v - 1], outputs[v], 3, 4, 5, 6);
#pragma GCC unroll 4
    for (std::size_t v = 0; v < V; ++v) {
      BandVector& b = bands_[v];
      const Lanes x = in[v] / Splat(IIRFilter::kScale16);
      const Lanes y = b.b0 * x + b.b1 * b.x1 + b.b2 * b.x2 - b.a1 * b.y1 - b.a2 * b.y2;
      if constexpr (kMasked) {
        const LaneSteps valid = (t >= b.offset) & (t < count + b.offset);
        b.x2 = valid ? b.x1 : b.x2;
        b.x1 = valid ? x : b.x1;
        b.y2 = valid ? b.y1 : b.y2;
        b.y1 = valid ? y : b.y1;
      } else {
        b.x2 = b.x1;
        b.x1 = x;
        b.y2 = b.y1;
        b.y1 = y;
      }
      // As IIRFilter::ToSample16: above 1 -> 32767, below -1 (or NaN) -> -32768, else rounded.
      Lanes out = y * Splat(IIRFilter::kScale16);
      out = out > Splat(32767.0f) ? Splat(32767.0f) : out;
      out = y >= Splat(-1.0f) ? out : Splat(-32768.0f);
      outputs[v] = (out + Splat(kRoundingShift)) - Splat(kRoundingShift);
    }
  }

  BandVector bands_[V] = {};  // unused lanes stay all zero and output 0
  Lanes ring_[kSkew][V] = {};
  const Owners& owners_;
  std::size_t count_;
  std::span<int16_t> samples_;
  std::size_t lag_;
  std::size_t lastBand_;
};

void BandWavefront::Run(std::span<IIRFilter> bands, std::span<int16_t> samples) {
  while (!bands.empty()) {
    const std::span<IIRFilter> group = bands.first(std::min(bands.size(), kMaxBands));
    RunGroup(group, samples);
    bands = bands.subspan(group.size());
  }
}

void BandWavefront::RunGroup(std::span<IIRFilter> group, std::span<int16_t> samples) {
  Owners owners;
  std::size_t n = 0;
  for (IIRFilter& band : group) {
    if (band.Enabled()) owners[n++] = &band;
  }
  if (n == 0) return;
  switch ((n + kLanes - 1) / kLanes) {
    case 1: Wavefront<1>(owners, n, samples).Run(); break;
    case 2: Wavefront<2>(owners, n, samples).Run(); break;
    case 3: Wavefront<3>(owners, n, samples).Run(); break;
    default: Wavefront<4>(owners, n, samples).Run(); break;
  }
}
