#include "app/PictureView.h"

#include <QPainter>

#include "display/QImageSurface.h"

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

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (surface_ == nullptr) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  if (stretch_) {
    painter.drawImage(rect(), surface_->image());  // no smooth transform: crisp pixels
  } else {
    painter.drawImage(0, 0, surface_->image());
  }
}
