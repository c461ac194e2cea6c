#include "app/StretchedPictureView.h"

#include <QPainter>

#include "display/QImageSurface.h"

StretchedPictureView::StretchedPictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void StretchedPictureView::SetSurface(const QImageSurface* surface) {
  surface_ = surface;
  update();
}

void StretchedPictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (surface_ == nullptr) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(rect(), surface_->image());
}
