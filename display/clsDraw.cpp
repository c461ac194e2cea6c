// clsDraw: level bars, waveform trace and spectrum bars on a PictureSurface.
#include "display/clsDraw.h"

#include <algorithm>
#include <cmath>

#include "common/SampleMath.h"
#include "display/clsFourier.h"

namespace {

constexpr int32_t kBlack = 0;
constexpr int32_t kWhite = 16777215;
constexpr double kFallPerCall = 0.07;  // bar fall-back, fraction of full height
constexpr double kFullScale = 32767.0;
// Bin magnitude at which a bar input saturates: magnitude / (N / 4) / 32767.
constexpr double kBinCeiling = 0.2;
constexpr int32_t kBinsPerBand = 5;  // bins 5j + 1 .. 5j + 4 feed band j
constexpr int32_t kBarPitch = 4;     // pixels; bars 3 pixels wide, first at x = 4
constexpr int32_t kBarWidth = 3;

// The transform's length and indices are constants within its range, so none of
// its calls here can throw.
static_assert(clsDraw::kPoints >= 2 && (clsDraw::kPoints & (clsDraw::kPoints - 1)) == 0);
static_assert(kBinsPerBand * clsDraw::kBands <= clsDraw::kPoints);  // highest bin read

// Mean of data[pos, pos + step) as a fraction of full scale, clamped to -1..1.
double GroupLevel(std::span<const int16_t> data, size_t pos, int32_t step) {
  double sum = 0.0;
  for (int32_t i = 0; i < step; ++i) sum += data[pos + static_cast<size_t>(i)];
  return std::clamp(sum / step / kFullScale, -1.0, 1.0);
}

// Samples averaged per pixel column: the block's upper bound over the width,
// rounded; never below 1 (a step of 0 would divide by zero).
int32_t ColumnStep(size_t samples, float scaleWidth) {
  const double step = (static_cast<double>(samples) - 1.0) / scaleWidth;
  if (!(step >= 1.0)) return 1;  // also catches a zero width (NaN, inf)
  return RoundToInt32(std::min(step, static_cast<double>(samples)));
}

}  // namespace

clsDraw::clsDraw() = default;
clsDraw::~clsDraw() = default;

void clsDraw::DrawRect(PictureSurface& hdc, int32_t lngLeft, int32_t lngTop, int32_t lngRight, int32_t lngBottom,
                       int32_t lngColor) {
  hdc.FillRect(lngLeft, lngTop, lngRight, lngBottom, lngColor);
}

void clsDraw::DrawAmplitudes(std::span<const int16_t> data, PictureSurface& picVis) {
  const float scaleWidth = picVis.ScaleWidth();
  const int32_t w = RoundToInt32(scaleWidth);
  const int32_t h = RoundToInt32(picVis.ScaleHeight());
  const int32_t mid = h / 2;

  // The black rectangle erases the previous trace.
  picVis.ForeColor(kBlack);
  picVis.Rectangle(0, 0, w, h);
  picVis.ForeColor(kWhite);
  picVis.MoveTo(0, mid);

  const int32_t step = ColumnStep(data.size(), scaleWidth);
  const int32_t last = RoundToInt32(scaleWidth - 3.0f);
  size_t pos = 0;
  for (int32_t x = 1; x <= last; ++x) {
    int32_t y = mid;
    if (pos + static_cast<size_t>(step) <= data.size()) {
      y = RoundToInt32((mid - 2) * GroupLevel(data, pos, step) + mid);
      pos += static_cast<size_t>(step);
    }
    picVis.LineTo(x, y);
  }
  // Back to the centre line; with last < 1 these go to x = 1 and x = 2.
  const int32_t end = std::max(last, 0);
  picVis.LineTo(end + 1, mid);
  picVis.LineTo(end + 2, mid);
}

void clsDraw::DrawFrequencies(std::span<const int16_t> intSamples, PictureSurface& picbox) {
  if (intSamples.size() < static_cast<size_t>(kPoints)) return;
  AnalyseBands(intSamples.first(static_cast<size_t>(kPoints)));
  for (double& level : bandLevels_) level = std::max(level - kFallPerCall, 0.0);
  UpdateBandLevels();
  DrawBands(picbox);
}

void clsDraw::AnalyseBands(std::span<const int16_t> intSamples) {
  if (std::equal(intSamples.begin(), intSamples.end(), analysedSamples_.begin(), analysedSamples_.end())) return;
  analysedSamples_.assign(intSamples.begin(), intSamples.end());
  if (!transform_) {
    transform_ = std::make_unique<clsFourier>();
    transform_->NumberOfSamples(kPoints);
    transform_->WithTimeWindow(1);
  }
  // The samples as they come, interleaved channels included.
  for (int32_t i = 0; i < kPoints; ++i) transform_->RealIn(i + 1, intSamples[static_cast<size_t>(i)]);

  // Bin k scaled to 0..1: its magnitude over N / 4 and full scale, saturating
  // at kBinCeiling. Only bins 1..109 feed the bands, so only those are read.
  auto binLevel = [this](int32_t k) {
    float s = static_cast<float>(transform_->ComplexOut(k + 1) / (kPoints / 4) / kFullScale);
    if (s > kBinCeiling) s = static_cast<float>(kBinCeiling);
    return static_cast<float>(s / kBinCeiling);
  };

  // The running value is carried from band to band (unclamped), so energy in
  // the low bands lifts the higher ones too.
  double v = 0.0;
  for (int32_t j = 0; j < kBands; ++j) {
    for (int32_t k = kBinsPerBand * j + 1; k < kBinsPerBand * (j + 1); ++k) v += binLevel(k);
    const float w = HannWeight(static_cast<float>(j + 3), 25);  // emphasises the middle bands
    v = (w + 1.0) * v / 3.0;
    bandInputs_[static_cast<size_t>(j)] = v;
  }
}

void clsDraw::UpdateBandLevels() {
  for (int32_t j = 0; j < kBands; ++j) {
    const double v = bandInputs_[static_cast<size_t>(j)];
    double& level = bandLevels_[static_cast<size_t>(j)];
    if (level < v) level = v;  // peak hold: jumps up at once
    if (level > 1.0) level = 1.0;
  }
}

void clsDraw::DrawBands(PictureSurface& picbox) const {
  picbox.Cls();
  const float h = picbox.ScaleHeight();
  const int32_t bottom = RoundToInt32(h - 2.0f);
  for (int32_t j = 0; j < kBands; ++j) {
    const double level = bandLevels_[static_cast<size_t>(j)];
    // (255, 0, 50) for an empty bar up to (255, 255, 50) for a full one.
    const int32_t colour = 255 + RoundToInt32(level * 255.0) * 256 + 50 * 65536;
    const int32_t top = MaxOf(2, MinOf(RoundToInt32(h), RoundToInt32(h - h * level)) - 2);
    const int32_t left = kBarPitch * j + kBarPitch;
    picbox.FillRect(left, top, left + kBarWidth, bottom, colour);
  }
}

float clsDraw::HannWeight(float x, int32_t n) {
  const float twoPi = 6.2831855f;  // 2 pi as a 32-bit float
  return static_cast<float>((1.0 - std::cos(x * twoPi / static_cast<float>(n))) * 0.5);
}
