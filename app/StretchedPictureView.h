// StretchedPictureView: shows a QImageSurface stretched to the widget's size,
// pixel for pixel without smoothing. For drawings laid out on a fixed pixel grid
// (the 22-bar spectrum) that should still fill a resizable window.
#pragma once

#include <QWidget>

class QImageSurface;

class StretchedPictureView : public QWidget {
  Q_OBJECT

 public:
  explicit StretchedPictureView(QWidget* parent = nullptr);

  // Not owned; must outlive the view's use of it.
  void SetSurface(const QImageSurface* surface);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImageSurface* surface_ = nullptr;
};
