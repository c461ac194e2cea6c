// clsDraw: the live displays: filled rectangles (level bars), the waveform trace of
// the newest block and a 22-bar spectrum analyser with peak hold. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "display/PictureSurface.h"

class clsFourier;

class clsDraw {
 public:
  clsDraw();
  ~clsDraw();

  void DrawRect(PictureSurface& hdc, int32_t lngLeft, int32_t lngTop, int32_t lngRight, int32_t lngBottom,
                int32_t lngColor);
  void DrawAmplitudes(std::span<const int16_t> data, PictureSurface& picVis);
  void DrawFrequencies(std::span<const int16_t> intSamples, PictureSurface& picbox);

 private:
  // Implementation state: see clsDraw.cpp.
};
