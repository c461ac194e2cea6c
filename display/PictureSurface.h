// PictureSurface: what the display routines draw on. Pixels, origin top left,
// y growing downwards. Colours are 32-bit colour values with red in the low
// byte, green in the second and blue in the third (65280 is green, 255 is red).
#pragma once

#include <cstdint>

class PictureSurface {
 public:
  virtual ~PictureSurface() = default;

  virtual float ScaleWidth() const = 0;   // pixels
  virtual float ScaleHeight() const = 0;  // pixels

  virtual void ForeColor(int32_t colour) = 0;  // pen colour of lines and outlines
  virtual int32_t ForeColor() const = 0;
  virtual void Cls() = 0;  // fill everything with the background colour

  // Solid rectangle; right and bottom edges exclusive.
  virtual void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t colour) = 0;
  // Rectangle outlined with the pen and filled with the surface's fill colour;
  // right and bottom edges exclusive, as a GDI rectangle.
  virtual void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  // Line from the current position to (x, y), not including (x, y); (x, y)
  // becomes the current position.
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // Paints one pixel in the pen colour.
  virtual void SetPixel(int32_t x, int32_t y) = 0;
};
