// QImageSurface: GDI-like drawing on a QImage; see the header for the rules
// that keep it pixel-exact.
#include "display/QImageSurface.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

QImageSurface::QImageSurface(int width, int height, int32_t backColour)
    : image_(width, height, QImage::Format_RGB32), backColour_(backColour), fillColour_(backColour) {
  image_.fill(ToQColor(backColour_));
}

QImageSurface::~QImageSurface() = default;

QColor QImageSurface::ToQColor(int32_t colour) {
  const auto c = static_cast<uint32_t>(colour);
  return QColor(static_cast<int>(c & 255u), static_cast<int>((c >> 8) & 255u), static_cast<int>((c >> 16) & 255u));
}

const QImage& QImageSurface::image() const { return image_; }

void QImageSurface::Resize(int width, int height) {
  image_ = QImage(width, height, QImage::Format_RGB32);
  image_.fill(ToQColor(backColour_));
  currentX_ = currentY_ = 0;
}

void QImageSurface::BackColor(int32_t colour) { backColour_ = colour; }
int32_t QImageSurface::BackColor() const { return backColour_; }
void QImageSurface::FillColor(int32_t colour) { fillColour_ = colour; }
int32_t QImageSurface::FillColor() const { return fillColour_; }

float QImageSurface::ScaleWidth() const { return static_cast<float>(image_.width()); }
float QImageSurface::ScaleHeight() const { return static_cast<float>(image_.height()); }

void QImageSurface::ForeColor(int32_t colour) { foreColour_ = colour; }
int32_t QImageSurface::ForeColor() const { return foreColour_; }

void QImageSurface::Cls() {
  image_.fill(ToQColor(backColour_));
  currentX_ = currentY_ = 0;
}

void QImageSurface::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t colour) {
  // An empty or inverted rectangle fills nothing (GDI FillRect does not reorder).
  if (right <= left || bottom <= top) return;
  FillClipped(left, top, right, bottom, ToQColor(colour).rgb());
}

void QImageSurface::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (right - left < 1 || bottom - top < 1) return;
  const QRgb pen = ToQColor(foreColour_).rgb();
  // Outline on the outermost pixels of [left, right) x [top, bottom).
  const int32_t r = right - 1, b = bottom - 1;
  if (r == left || b == top) {
    FillClipped(left, top, right, bottom, pen);
    return;
  }
  FillClipped(left + 1, top + 1, r, b, ToQColor(fillColour_).rgb());
  FillClipped(left, top, right, top + 1, pen);
  FillClipped(left, b, right, bottom, pen);
  FillClipped(left, top + 1, left + 1, b, pen);
  FillClipped(r, top + 1, right, b, pen);
}

void QImageSurface::MoveTo(int32_t x, int32_t y) {
  currentX_ = x;
  currentY_ = y;
}

void QImageSurface::LineTo(int32_t x, int32_t y) {
  PlotLine(currentX_, currentY_, x, y);
  currentX_ = x;
  currentY_ = y;
}

void QImageSurface::SetPixel(int32_t x, int32_t y) { PlotPixel(x, y, ToQColor(foreColour_).rgb()); }

void QImageSurface::PlotPixel(int32_t x, int32_t y, QRgb rgb) {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = rgb;
}

void QImageSurface::FillClipped(int32_t left, int32_t top, int32_t right, int32_t bottom, QRgb rgb) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image_.width());
  bottom = std::min(bottom, image_.height());
  if (right <= left || bottom <= top) return;
  // bits() once: scanLine() checks for a shared image on every row.
  uchar* row = image_.bits() + static_cast<qsizetype>(top) * image_.bytesPerLine();
  for (int32_t y = top; y < bottom; ++y, row += image_.bytesPerLine()) {
    std::fill_n(reinterpret_cast<QRgb*>(row) + left, right - left, rgb);
  }
}

void QImageSurface::PlotLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  // Own rasteriser rather than QPainter::drawLine: Qt orders a line's end
  // points before dropping the last pixel, so a line drawn upwards would lose
  // its start instead of its end. Steps along the major axis from the start,
  // the minor coordinate rounded to the nearest pixel, the end point left out
  // (a line to the current position itself draws nothing).
  const int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int64_t steps = xMajor ? std::abs(dx) : std::abs(dy);
  if (steps == 0) return;

  // Only the steps whose major coordinate falls inside the image, so a line to
  // a far-off point costs no more than the image is wide.
  const int64_t m0 = xMajor ? x0 : y0;
  const int64_t extent = xMajor ? image_.width() : image_.height();
  const bool forward = (xMajor ? dx : dy) > 0;
  const int64_t first = std::max<int64_t>(0, forward ? -m0 : m0 - extent + 1);
  const int64_t stop = std::min<int64_t>(steps, forward ? extent - m0 : m0 + 1);

  const QRgb rgb = ToQColor(foreColour_).rgb();
  uchar* const pixels = image_.bits();  // once per line, not per pixel
  const qsizetype stride = image_.bytesPerLine();
  const auto plot = [&](int64_t x, int64_t y) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    reinterpret_cast<QRgb*>(pixels + y * stride)[x] = rgb;
  };
  // Nearest pixel to start + i/steps of the way, halves away from the start.
  // Along the major axis that is exactly i steps; 64-bit products suffice for
  // the minor axis unless the points lie far off, where 128-bit ones are used.
  const int64_t minor = xMajor ? dy : dx;
  const int64_t majorStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const int64_t half = minor >= 0 ? steps : -steps;
  const bool narrow = steps < (int64_t{1} << 30) && std::abs(minor) < (int64_t{1} << 30);
  for (int64_t i = first; i < stop; ++i) {
    const int64_t along = i * majorStep;
    const int64_t across = narrow ? (2 * i * minor + half) / (2 * steps)
                                  : static_cast<int64_t>((__int128{2} * i * minor + half) / (2 * steps));
    if (xMajor) {
      plot(x0 + along, y0 + across);
    } else {
      plot(x0 + across, y0 + along);
    }
  }
}
