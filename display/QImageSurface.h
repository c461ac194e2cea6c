// QImageSurface: a PictureSurface drawn on a QImage, which the window's picture
// widgets show. QtGui only.
//
// Drawing follows GDI so that traces are pixel-exact: no antialiasing, a
// 1-pixel pen, LineTo leaves out its end point and moves the current position
// there, rectangles have exclusive right and bottom edges. Every shape is
// solid and axis-aligned or a 1-pixel line, so pixels are set directly in the
// image: no painter to open per frame (the displays redraw 40 times a second).
#pragma once

#include <QColor>
#include <QImage>

#include "display/PictureSurface.h"

class QImageSurface : public PictureSurface {
 public:
  // width x height pixels, cleared to `backColour` (a colour value, red low byte).
  // The fill colour of Rectangle starts as the back colour.
  QImageSurface(int width, int height, int32_t backColour = 0);
  ~QImageSurface() override;

  QImageSurface(const QImageSurface&) = delete;
  QImageSurface& operator=(const QImageSurface&) = delete;

  // Everything drawn so far.
  const QImage& image() const;
  void Resize(int width, int height);  // keeps nothing; clears to the background

  void BackColor(int32_t colour);  // takes effect at the next Cls
  int32_t BackColor() const;
  void FillColor(int32_t colour);  // interior of Rectangle
  int32_t FillColor() const;

  // PictureSurface
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void ForeColor(int32_t colour) override;
  int32_t ForeColor() const override;
  void Cls() override;  // also moves the current position to (0, 0)
  void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t colour) override;
  void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void SetPixel(int32_t x, int32_t y) override;

  // A colour value (red low byte) as a Qt colour; the top byte is ignored.
  static QColor ToQColor(int32_t colour);

 private:
  void PlotPixel(int32_t x, int32_t y, QRgb rgb);  // clipped to the image
  // [left, right) x [top, bottom) clipped to the image; nothing when empty.
  void FillClipped(int32_t left, int32_t top, int32_t right, int32_t bottom, QRgb rgb);
  void PlotLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

  QImage image_;
  int32_t backColour_;
  int32_t fillColour_;
  int32_t foreColour_ = 0;
  int32_t currentX_ = 0;
  int32_t currentY_ = 0;
};
