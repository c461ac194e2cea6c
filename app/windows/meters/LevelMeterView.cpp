#include "app/windows/meters/LevelMeterView.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <algorithm>
#include <cmath>

namespace {

// Read only: the value is the level in whole dB, from the quietest told up to full scale.
class LevelMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit LevelMeterAccessible(LevelMeterView* view) : QAccessibleWidget(view, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return View()->SpokenValue();
    return QAccessibleWidget::text(kind);
  }
  QVariant currentValue() const override { return std::max(View()->Decibels(), LevelMeterView::kQuietestDb); }
  QVariant minimumValue() const override { return LevelMeterView::kQuietestDb; }
  QVariant maximumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }
  void setCurrentValue(const QVariant&) override {}

 private:
  const LevelMeterView* View() const { return static_cast<const LevelMeterView*>(widget()); }
};

QAccessibleInterface* LevelMeterInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("LevelMeterView")) return nullptr;
  auto* view = qobject_cast<LevelMeterView*>(object);
  return view ? new LevelMeterAccessible(view) : nullptr;
}

QString DecibelText(int dB) {
  return dB < 0 ? QString(QChar(0x2212)) + QString::number(-dB) : QString::number(dB);
}

}  // namespace

LevelMeterView::LevelMeterView(QWidget* parent) : PictureView(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(LevelMeterInterface);
    return true;
  }();
  (void)installed;
}

void LevelMeterView::Reading(float level, bool clipped) {
  const int dB = level > 0 ? std::max(static_cast<int>(std::nearbyint(20.0 * std::log10(level))), kQuietestDb - 1)
                           : kQuietestDb - 1;
  if (dB == dB_ && clipped == clipped_) return;
  dB_ = dB;
  clipped_ = clipped;
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, SpokenValue());
    QAccessible::updateAccessibility(&event);
  }
}

QString LevelMeterView::SpokenValue() const {
  const QString level =
      dB_ < kQuietestDb ? tr("低于 %1 dB").arg(DecibelText(kQuietestDb)) : DecibelText(dB_) + QStringLiteral(" dB");
  return clipped_ ? tr("%1, 已削波").arg(level) : level;
}
