#include "app/review/TakeOverviewStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "app/review/TrimHandle.h"

TakeOverviewStrip::TakeOverviewStrip(QWidget* parent)
    : QWidget(parent), head_(new TrimHandle(*this, Grip::Head)), tail_(new TrimHandle(*this, Grip::Tail)) {
  setFixedHeight(48);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(false);
}

void TakeOverviewStrip::ShowTake(const TakeOverview& overview) {
  const auto columns = overview.Columns();
  columns_.assign(columns.begin(), columns.end());
  framesPerColumn_ = overview.FramesPerColumn();
  frames_ = overview.Frames();
  rate_ = overview.Rate();
  keptFirst_ = 0;
  keptEnd_ = frames_;
  playhead_ = -1;
  PlaceHandles();
  update();
  Q_EMIT KeptRangeChanged(keptFirst_, keptEnd_);
}

void TakeOverviewStrip::Markers(std::vector<int64_t> frames) {
  markers_ = std::move(frames);
  update();
}

void TakeOverviewStrip::Playhead(int64_t frame) {
  if (frame == playhead_) return;
  playhead_ = frame;
  update();
}

int TakeOverviewStrip::FrameToX(int64_t frame) const {
  if (frames_ <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(frame, 0, frames_) * width() / frames_);
}

int64_t TakeOverviewStrip::XToFrame(int x) const {
  if (width() <= 0) return 0;
  return std::clamp<int64_t>(int64_t{x} * frames_ / width(), 0, frames_);
}

void TakeOverviewStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (frames_ <= 0) return;
  PaintPeaks(painter);
  const QColor shade(0, 0, 0, 160);
  painter.fillRect(QRect(0, 0, FrameToX(keptFirst_), height()), shade);
  painter.fillRect(QRect(QPoint(FrameToX(keptEnd_), 0), QPoint(width(), height())), shade);
  painter.setPen(QColor(255, 200, 0));
  for (const int64_t marker : markers_) painter.drawLine(FrameToX(marker), 0, FrameToX(marker), height());
  painter.setPen(QPen(Qt::white, 2));
  for (const int64_t handle : {keptFirst_, keptEnd_}) {
    const int x = std::clamp(FrameToX(handle), 1, width() - 1);
    painter.drawLine(x, 0, x, height());
  }
  if (playhead_ >= 0) {
    painter.setPen(Qt::red);
    painter.drawLine(FrameToX(playhead_), 0, FrameToX(playhead_), height());
  }
}

void TakeOverviewStrip::PaintPeaks(QPainter& painter) const {
  painter.setPen(QColor(0, 220, 0));
  const double middle = height() / 2.0;
  const double scale = middle / 32768.0;
  const auto count = static_cast<int64_t>(columns_.size());
  for (int x = 0; x < width(); ++x) {
    // The columns that fall on this pixel (at least one).
    const int64_t from = std::min(XToFrame(x) / framesPerColumn_, count - 1);
    const int64_t to = std::clamp(XToFrame(x + 1) / framesPerColumn_, from + 1, count);
    int low = INT16_MAX;
    int high = INT16_MIN;
    for (int64_t c = from; c < to; ++c) {
      low = std::min<int>(low, columns_[c].minimum);
      high = std::max<int>(high, columns_[c].maximum);
    }
    painter.drawLine(x, static_cast<int>(middle - high * scale), x, static_cast<int>(middle - low * scale));
  }
}

void TakeOverviewStrip::mousePressEvent(QMouseEvent* event) {
  if (frames_ <= 0 || event->button() != Qt::LeftButton) return;
  const int x = event->position().toPoint().x();
  const int toHead = std::abs(x - FrameToX(keptFirst_));
  const int toTail = std::abs(x - FrameToX(keptEnd_));
  if (std::min(toHead, toTail) <= kHandleReach) {
    grip_ = toHead <= toTail ? Grip::Head : Grip::Tail;
    return;
  }
  Q_EMIT SeekRequested(XToFrame(x));
}

void TakeOverviewStrip::mouseMoveEvent(QMouseEvent* event) {
  if (grip_ != Grip::None) MoveHandle(grip_, XToFrame(event->position().toPoint().x()));
}

void TakeOverviewStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (grip_ == Grip::None) return;
  MoveHandle(grip_, XToFrame(event->position().toPoint().x()));
  grip_ = Grip::None;
}

void TakeOverviewStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceHandles();
}

void TakeOverviewStrip::MoveHandle(Grip grip, int64_t frame) {
  if (frames_ <= 0) return;
  // The handles never cross: at least one frame stays kept.
  if (grip == Grip::Head) keptFirst_ = std::clamp<int64_t>(frame, 0, keptEnd_ - 1);
  if (grip == Grip::Tail) keptEnd_ = std::clamp<int64_t>(frame, keptFirst_ + 1, frames_);
  PlaceHandles();
  update();
  Q_EMIT KeptRangeChanged(keptFirst_, keptEnd_);
}

void TakeOverviewStrip::PlaceHandles() {
  for (TrimHandle* handle : {head_, tail_}) {
    const int x = FrameToX(HandleFrame(handle->Which()));
    handle->setGeometry(x - kHandleReach, 0, 2 * kHandleReach + 1, height());
    handle->Moved();
  }
}
