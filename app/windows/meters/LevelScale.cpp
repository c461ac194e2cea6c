#include "app/windows/meters/LevelScale.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kTickLength = 4;
constexpr int kLabelGap = 4;  // pixels kept free between two labels

}  // namespace

LevelScale::LevelScale(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int LevelScale::TickX(int dB, int width) {
  const double fraction = std::pow(10.0, dB / 20.0);
  return std::clamp(static_cast<int>(std::nearbyint(fraction * (width - 1))), 0, std::max(width - 1, 0));
}

QString LevelScale::Label(int dB) { return dB == 0 ? QStringLiteral("0") : QString(QChar(0x2212)) + QString::number(-dB); }

std::pair<int, int> LevelScale::LabelSpan(int dB, int width) const {
  const int textWidth = fontMetrics().horizontalAdvance(Label(dB));
  // Centred on its tick, but never past either end of the bar.
  const int left = std::clamp(TickX(dB, width) - textWidth / 2, 0, std::max(width - textWidth, 0));
  return {left, left + textWidth};
}

std::vector<int> LevelScale::LabelledLevels(int width) const {
  std::vector<int> levels;
  int freeUpTo = width;  // labels to the right of this are taken
  for (int dB = 0; dB >= kLowestDb; dB -= kStepDb) {
    const auto [left, right] = LabelSpan(dB, width);
    if (right + kLabelGap > freeUpTo && dB != 0) break;
    levels.push_back(dB);
    freeUpTo = left;
  }
  return levels;
}

QSize LevelScale::sizeHint() const { return {200, kTickLength + fontMetrics().height()}; }

QSize LevelScale::minimumSizeHint() const {
  return {fontMetrics().horizontalAdvance(Label(kLowestDb)), sizeHint().height()};
}

void LevelScale::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Render();
}

void LevelScale::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void LevelScale::Render() {
  const qreal ratio = devicePixelRatioF();
  picture_ = QPixmap(size() * ratio);
  picture_.setDevicePixelRatio(ratio);
  picture_.fill(Qt::transparent);
  QPainter painter(&picture_);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  for (int dB = 0; dB >= kLowestDb; dB -= kStepDb) {
    const int x = TickX(dB, width());
    painter.drawLine(x, 0, x, kTickLength - 1);
  }
  const int baseline = kTickLength + fontMetrics().ascent();
  for (int dB : LabelledLevels(width())) painter.drawText(LabelSpan(dB, width()).first, baseline, Label(dB));
}
