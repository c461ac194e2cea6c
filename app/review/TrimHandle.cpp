#include "app/review/TrimHandle.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr double kStepSeconds = 0.1;
constexpr double kShiftStepSeconds = 1.0;

class TrimHandleAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TrimHandleAccessible(TrimHandle* handle) : QAccessibleWidget(handle, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return TrimHandle::tr("%1 秒").arg(Handle()->Seconds(), 0, 'f', 1);
    return QAccessibleWidget::text(kind);
  }
  QVariant currentValue() const override { return Handle()->Seconds(); }
  QVariant maximumValue() const override { return Handle()->TakeSeconds(); }
  QVariant minimumValue() const override { return 0.0; }
  QVariant minimumStepSize() const override { return kStepSeconds; }
  void setCurrentValue(const QVariant& value) override { Handle()->MoveTo(value.toDouble()); }

 private:
  TrimHandle* Handle() const { return static_cast<TrimHandle*>(widget()); }
};

QAccessibleInterface* TrimHandleInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("TrimHandle")) return nullptr;
  auto* handle = qobject_cast<TrimHandle*>(object);
  return handle != nullptr ? new TrimHandleAccessible(handle) : nullptr;
}

}  // namespace

TrimHandle::TrimHandle(TakeOverviewStrip& strip, TakeOverviewStrip::Grip which)
    : QWidget(&strip), strip_(strip), which_(which) {
  static const bool installed = [] {
    QAccessible::installFactory(TrimHandleInterface);
    return true;
  }();
  (void)installed;
  setObjectName(which == TakeOverviewStrip::Grip::Head ? "trimHead" : "trimTail");
  setAccessibleName(which == TakeOverviewStrip::Grip::Head ? tr("剪辑起点") : tr("剪辑终点"));
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

double TrimHandle::Seconds() const {
  return strip_.Rate() > 0 ? static_cast<double>(strip_.HandleFrame(which_)) / strip_.Rate() : 0.0;
}

double TrimHandle::TakeSeconds() const {
  return strip_.Rate() > 0 ? static_cast<double>(strip_.Frames()) / strip_.Rate() : 0.0;
}

void TrimHandle::MoveTo(double seconds) {
  strip_.MoveHandle(which_, std::llround(seconds * strip_.Rate()));
}

void TrimHandle::Moved() {
  update();
  if (!QAccessible::isActive()) return;
  QAccessibleValueChangeEvent event(this, Seconds());
  QAccessible::updateAccessibility(&event);
}

void TrimHandle::keyPressEvent(QKeyEvent* event) {
  const double step = event->modifiers() & Qt::ShiftModifier ? kShiftStepSeconds : kStepSeconds;
  const int64_t frame = strip_.HandleFrame(which_);
  const auto stepFrames = std::llround(step * strip_.Rate());
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
      strip_.MoveHandle(which_, frame - stepFrames);
      break;
    case Qt::Key_Right:
    case Qt::Key_Up:
      strip_.MoveHandle(which_, frame + stepFrames);
      break;
    case Qt::Key_Home:
      strip_.MoveHandle(which_, 0);
      break;
    case Qt::Key_End:
      strip_.MoveHandle(which_, strip_.Frames());
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TrimHandle::paintEvent(QPaintEvent*) {
  if (!hasFocus()) return;  // the strip draws the handle itself
  QPainter painter(this);
  painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
