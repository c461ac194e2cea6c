#include "app/windows/meters/ClipLamp.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr QColor kLitColour(255, 0, 0);  // the bars' red
constexpr QColor kDarkColour(70, 70, 70);
constexpr int kPadding = 4;

}  // namespace

ClipLamp::ClipLamp(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ClipLamp::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  return {metrics.horizontalAdvance(text()) + 2 * kPadding, metrics.height() + 2};
}

void ClipLamp::nextCheckState() { setChecked(false); }

void ClipLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect lamp = rect().adjusted(0, 0, -1, -1);
  painter.setPen(Qt::black);
  painter.setBrush(Lit() ? kLitColour : kDarkColour);
  painter.drawRect(lamp);
  painter.setPen(Lit() ? Qt::white : QColor(160, 160, 160));
  painter.drawText(lamp, Qt::AlignCenter, text());
  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = lamp.adjusted(2, 2, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}
