// PictureView: a widget that shows the image of a QImageSurface, the picture
// surface of the windows. The owner draws on the surface and calls update(),
// or ShowIfChanged() when it redraws on a timer and the picture often comes out
// the same.
#pragma once

#include <QImage>
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

  // Schedules a repaint unless the surface holds exactly the picture painted
  // last (a repaint costs far more than the comparison). True when scheduled.
  bool ShowIfChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImageSurface* surface_ = nullptr;
  bool stretch_ = false;
  QImage painted_;  // own copy of the surface's picture at the last paint
};
