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

  // On: the image is stretched to the widget's size, pixel for pixel without
  // smoothing (for drawings on a fixed pixel grid that should fill the view).
  // Off (default): shown at its own size from the top left corner.
  void Stretch(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImageSurface* surface_ = nullptr;
  bool stretch_ = false;
};
