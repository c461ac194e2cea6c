// TakeOverviewStrip: the whole last take in a strip: each pixel column the
// smallest and largest sample of the frames it covers, the markers as thin
// lines, the playing position, and two handles that bound the part a cut
// keeps (the rest is shaded). A click seeks; dragging near a handle moves it,
// and so do the keys on a handle reached with Tab (see TrimHandle).
// Positions are frames of the take.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/review/TakeOverview.h"

class TrimHandle;

class TakeOverviewStrip : public QWidget {
  Q_OBJECT

 public:
  enum class Grip { None, Head, Tail };

  explicit TakeOverviewStrip(QWidget* parent = nullptr);

  // Copies the overview's columns; the handles go to both ends.
  void ShowTake(const TakeOverview& overview);
  void Markers(std::vector<int64_t> frames);
  const std::vector<int64_t>& Markers() const { return markers_; }
  // The playing position; negative: none shown.
  void Playhead(int64_t frame);
  int64_t Frames() const { return frames_; }
  // The part a cut keeps, [KeptFirst, KeptEnd).
  int64_t KeptFirst() const { return keptFirst_; }
  int64_t KeptEnd() const { return keptEnd_; }
  // The take's frames per second (0 before a take).
  int32_t Rate() const { return rate_; }
  // The frame of a handle, and moving it as a drag would (the handles never cross).
  int64_t HandleFrame(Grip grip) const { return grip == Grip::Head ? keptFirst_ : keptEnd_; }
  void MoveHandle(Grip grip, int64_t frame);
  // The handles as keyboard controls: head first.
  TrimHandle* Handle(Grip grip) const { return grip == Grip::Head ? head_ : tail_; }

  // Pixel column of `frame` and the frame at pixel `x`, for the strip's width.
  int FrameToX(int64_t frame) const;
  int64_t XToFrame(int x) const;

  static constexpr int kHandleReach = 6;  // pixels either side of a handle that grab it

 Q_SIGNALS:
  void SeekRequested(int64_t frame);
  void KeptRangeChanged(int64_t first, int64_t end);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PaintPeaks(class QPainter& painter) const;
  void PlaceHandles();

  std::vector<TakeOverview::Column> columns_;
  int64_t framesPerColumn_ = 1;
  int64_t frames_ = 0;
  int32_t rate_ = 0;
  std::vector<int64_t> markers_;
  int64_t playhead_ = -1;
  int64_t keptFirst_ = 0;
  int64_t keptEnd_ = 0;
  Grip grip_ = Grip::None;
  TrimHandle* head_;
  TrimHandle* tail_;
};
