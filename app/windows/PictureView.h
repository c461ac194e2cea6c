// PictureView: a widget that shows the image of a QImageSurface, the picture
// surface of the windows. The owner draws on the surface and calls update(),
// or ShowIfChanged() when it redraws on a timer and the picture often comes out
// the same or changes in a small part (a level bar moving).
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <vector>

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

  // Takes the surface's picture and schedules a repaint of the part that
  // differs from the picture taken last, if any: repainting and flushing to
  // the screen cost far more than the comparison, and grow with the area.
  // True when a repaint was scheduled.
  bool ShowIfChanged();

  // The smallest rectangle holding every pixel in which two images of the
  // same size and format differ; empty when they are equal.
  static QRect ChangedRect(const QImage& a, const QImage& b);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // `area` of the picture (its pixels) as widget coordinates, rounded outwards.
  QRect OnWidget(const QRect& area) const;
  // Takes the whole surface picture; false when there is none.
  bool TakeAll();
  // Stretched: brings `area` (widget coordinates) of the widget-sized picture
  // up to date from the picture taken; all of it when the size changed.
  void Stretched(QRect area);

  const QImageSurface* surface_ = nullptr;
  bool stretch_ = false;
  // Own copy of the surface's picture as last taken: sharing the surface's
  // image would make its next drawing copy the whole image first.
  QImage taken_;
  // Stretched: the taken picture at the widget's size, nearest pixel, so a
  // paint is a plain copy of the part that changed.
  QImage stretched_;
  std::vector<int> sourceColumn_, sourceRow_;  // of each stretched pixel
  QSize mappedFrom_;  // the picture size the two tables were worked out for
};
