#include "app/windows/PictureView.h"

#include <QPainter>
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
  update();
}

void PictureView::Stretch(bool on) {
  stretch_ = on;
  update();
}

bool PictureView::ShowIfChanged() {
  if (surface_ != nullptr && !painted_.isNull()) {
    const QImage& image = surface_->image();
    if (SameLayout(image, painted_) &&
        std::memcmp(image.constBits(), painted_.constBits(), static_cast<size_t>(image.sizeInBytes())) == 0) {
      return false;
    }
  }
  update();
  return true;
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (surface_ == nullptr) {
    painter.fillRect(rect(), palette().window());
    painted_ = QImage();
    return;
  }
  const QImage& image = surface_->image();
  // Copied into a buffer of our own: sharing the surface's would make its next
  // drawing copy the whole image first.
  if (SameLayout(image, painted_)) {
    std::memcpy(painted_.bits(), image.constBits(), static_cast<size_t>(image.sizeInBytes()));
  } else {
    painted_ = image.copy();
  }
  if (stretch_) {
    painter.drawImage(rect(), painted_);  // no smooth transform: crisp pixels
  } else {
    painter.drawImage(0, 0, painted_);
  }
}
