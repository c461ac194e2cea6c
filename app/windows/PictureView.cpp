#include "app/windows/PictureView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "display/QImageSurface.h"

namespace {

bool SameLayout(const QImage& a, const QImage& b) {
  return a.size() == b.size() && a.format() == b.format() && a.bytesPerLine() == b.bytesPerLine();
}

}  // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  // The surface paints every pixel; no background fill needed underneath.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::SetSurface(const QImageSurface* surface) {
  surface_ = surface;
  TakeAll();
  update();
}

void PictureView::Stretch(bool on) {
  stretch_ = on;
  stretched_ = QImage();
  update();
}

QRect PictureView::ChangedRect(const QImage& a, const QImage& b) {
  const int height = a.height(), width = a.width();
  const auto rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
  auto rowDiffers = [&](int y) { return std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0; };
  int top = 0;
  while (top < height && !rowDiffers(top)) ++top;
  if (top == height) return {};
  int bottom = height - 1;
  while (bottom > top && !rowDiffers(bottom)) --bottom;
  // Columns: each row is looked at only outside the span known to differ so far.
  int left = width, right = -1;
  for (int y = top; y <= bottom; ++y) {
    const auto* rowA = reinterpret_cast<const uint32_t*>(a.constScanLine(y));
    const auto* rowB = reinterpret_cast<const uint32_t*>(b.constScanLine(y));
    int x = 0;
    while (x < left && rowA[x] == rowB[x]) ++x;
    left = std::min(left, x);
    x = width - 1;
    while (x > right && rowA[x] == rowB[x]) --x;
    right = std::max(right, x);
  }
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

bool PictureView::ShowIfChanged() {
  if (surface_ == nullptr) return false;
  const QImage& image = surface_->image();
  if (!SameLayout(image, taken_)) {
    TakeAll();
    update();
    return true;
  }
  const QRect changed = ChangedRect(image, taken_);
  if (changed.isEmpty()) return false;
  const auto rowBytes = static_cast<size_t>(changed.width()) * sizeof(uint32_t);
  for (int y = changed.top(); y <= changed.bottom(); ++y) {
    std::memcpy(reinterpret_cast<uint32_t*>(taken_.scanLine(y)) + changed.left(),
                reinterpret_cast<const uint32_t*>(image.constScanLine(y)) + changed.left(), rowBytes);
  }
  const QRect area = OnWidget(changed);
  if (stretch_) Stretched(area);
  update(area);
  return true;
}

bool PictureView::TakeAll() {
  if (surface_ == nullptr) {
    taken_ = stretched_ = QImage();
    return false;
  }
  const QImage& image = surface_->image();
  if (SameLayout(image, taken_)) {
    std::memcpy(taken_.bits(), image.constBits(), static_cast<size_t>(image.sizeInBytes()));
  } else {
    taken_ = image.copy();
  }
  if (stretch_) Stretched(rect());
  return true;
}

void PictureView::Stretched(QRect area) {
  if (taken_.isNull() || width() <= 0 || height() <= 0) return;
  if (stretched_.size() != size() || mappedFrom_ != taken_.size()) {
    stretched_ = QImage(size(), QImage::Format_RGB32);
    area = rect();
    // Nearest pixel: the one under each stretched pixel's centre. Worked out
    // once per pair of sizes, not per tick.
    mappedFrom_ = taken_.size();
    sourceColumn_.resize(static_cast<size_t>(width()));
    sourceRow_.resize(static_cast<size_t>(height()));
    for (int x = 0; x < width(); ++x) sourceColumn_[x] = static_cast<int>((x + 0.5) * taken_.width() / width());
    for (int y = 0; y < height(); ++y) sourceRow_[y] = static_cast<int>((y + 0.5) * taken_.height() / height());
  }
  // The columns of one picture pixel lie side by side: filled as one run.
  area &= rect();
  if (area.isEmpty()) return;
  uchar* const rows = stretched_.bits();
  const qsizetype stride = stretched_.bytesPerLine();
  // Rows of a drawing repeat (a bar's body): a row stretched from the same
  // pixels as the one above is a copy of it.
  const int firstColumn = sourceColumn_[area.left()];
  const auto columns = static_cast<size_t>(sourceColumn_[area.right()] - firstColumn + 1);
  const uint32_t* above = nullptr;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* from = reinterpret_cast<const uint32_t*>(taken_.constScanLine(sourceRow_[y]));
    auto* to = reinterpret_cast<uint32_t*>(rows + static_cast<qsizetype>(y) * stride);
    if (above != nullptr && std::equal(from + firstColumn, from + firstColumn + columns, above + firstColumn)) {
      std::copy_n(reinterpret_cast<const uint32_t*>(rows + static_cast<qsizetype>(y - 1) * stride) + area.left(),
                  area.width(), to + area.left());
      continue;
    }
    above = from;
    for (int x = area.left(); x <= area.right();) {
      const int column = sourceColumn_[x];
      int end = x + 1;
      while (end <= area.right() && sourceColumn_[end] == column) ++end;
      std::fill(to + x, to + end, from[column]);
      x = end;
    }
  }
}

QRect PictureView::OnWidget(const QRect& area) const {
  if (!stretch_ || taken_.isNull()) return area;
  const double sx = static_cast<double>(width()) / taken_.width();
  const double sy = static_cast<double>(height()) / taken_.height();
  const auto left = static_cast<int>(std::floor(area.left() * sx));
  const auto top = static_cast<int>(std::floor(area.top() * sy));
  const auto right = static_cast<int>(std::ceil((area.right() + 1) * sx));
  const auto bottom = static_cast<int>(std::ceil((area.bottom() + 1) * sy));
  return QRect(left, top, right - left, bottom - top);
}

void PictureView::paintEvent(QPaintEvent* event) {
  // Painting is clipped to the part asked for; the rest of the widget keeps what it shows.
  QPainter painter(this);
  // A whole repaint (shown, resized, or asked for by the owner) shows the surface as it is now.
  const bool whole = event->rect().contains(rect());
  if ((whole || surface_ == nullptr || !SameLayout(surface_->image(), taken_)) && !TakeAll()) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  if (stretch_ && stretched_.size() != size()) Stretched(rect());
  painter.drawImage(0, 0, stretch_ ? stretched_ : taken_);
}
