// PictureView: a widget that shows the image of a QImageSurface, the picture
// surface of the windows. The owner draws on the surface and calls update().
#pragma once

#include <QWidget>

class QImageSurface;

class PictureView : public QWidget {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Not owned; nullptr shows nothing. The surface must outlive the view's use.
  void SetSurface(const QImageSurface* surface);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImageSurface* surface_ = nullptr;
};
