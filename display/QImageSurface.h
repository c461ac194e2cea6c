// QImageSurface: a PictureSurface drawn with QPainter on a QImage, which the
// window's picture widgets show. QtGui only.
#pragma once

#include <QImage>

#include "display/PictureSurface.h"

class QImageSurface : public PictureSurface {
 public:
  // width x height pixels, cleared to `backColour` (a colour value, red low byte).
  QImageSurface(int width, int height, int32_t backColour = 0);

  const QImage& image() const;
  void Resize(int width, int height);  // keeps nothing; clears to the background

  // PictureSurface
  // ... (declared by the implementer)
};
