// LevelMeterView: a level bar's picture that also tells assistive technology
// its reading: accessible name "left level", value "−12 dB, clipped". The
// reading changes only when its whole-decibel value or the clip state does,
// so the value is not spoken anew at every display tick.
#pragma once

#include "app/windows/PictureView.h"

class LevelMeterView : public PictureView {
  Q_OBJECT

 public:
  static constexpr int kQuietestDb = -60;  // quieter is told as "below -60 dB"

  explicit LevelMeterView(QWidget* parent = nullptr);

  // `level` the bar's fraction of full scale (0..1).
  void Reading(float level, bool clipped);
  // The reading as spoken, in the interface language.
  QString SpokenValue() const;
  // The reading in whole dB; below kQuietestDb when quieter.
  int Decibels() const { return dB_; }

 private:
  int dB_ = kQuietestDb - 1;
  bool clipped_ = false;
};
