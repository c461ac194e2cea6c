// clsDraw: the live displays: filled rectangles (level bars), the waveform trace of
// the newest block and a 22-bar spectrum analyser with peak hold. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "display/PictureSurface.h"

class clsFourier;

class clsDraw {
 public:
  clsDraw();
  ~clsDraw();

  clsDraw(const clsDraw&) = delete;
  clsDraw& operator=(const clsDraw&) = delete;

  // Solid rectangle in lngColor (red low byte); right and bottom exclusive.
  void DrawRect(PictureSurface& hdc, int32_t lngLeft, int32_t lngTop, int32_t lngRight, int32_t lngBottom,
                int32_t lngColor);
  // Waveform: each pixel column is the mean of a group of consecutive samples
  // (interleaved channels mixed), white on black, positive values below the
  // centre line. Columns whose group lies past the end of the block draw on
  // the centre line.
  void DrawAmplitudes(std::span<const int16_t> data, PictureSurface& picVis);
  // 22-bar spectrum of the first 1024 samples with peak hold, falling 0.07 of
  // full height per call. Fewer than 1024 samples: nothing changes. The same
  // samples as the call before are not transformed again (the display calls
  // about twice per captured block).
  void DrawFrequencies(std::span<const int16_t> intSamples, PictureSurface& picbox);

  static constexpr int32_t kBands = 22;
  static constexpr int32_t kPoints = 1024;  // transform length

 private:
  // The bands' inputs from the first kPoints samples, transformed only when
  // they differ from the last ones analysed.
  void AnalyseBands(std::span<const int16_t> intSamples);
  void UpdateBandLevels();
  void DrawBands(PictureSurface& picbox) const;
  static float HannWeight(float x, int32_t n);
  static int32_t MinOf(int32_t a, int32_t b) { return a < b ? a : b; }
  static int32_t MaxOf(int32_t a, int32_t b) { return a > b ? a : b; }

  // Displayed height of each spectrum bar, 0..1, kept between calls.
  std::array<double, kBands> bandLevels_{};
  // Created by the first DrawFrequencies that has enough samples.
  std::unique_ptr<clsFourier> transform_;
  // The samples last transformed and what they gave each band (before the
  // peak hold); empty before the first transform.
  std::vector<int16_t> analysedSamples_;
  std::array<double, kBands> bandInputs_{};
};
