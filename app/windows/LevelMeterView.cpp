#include "app/windows/LevelMeterView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>
#include <cmath>

namespace {

class LevelMeterAccessible : public QAccessibleWidget {
 public:
  explicit LevelMeterAccessible(LevelMeterView* view) : QAccessibleWidget(view, QAccessible::ProgressBar) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return static_cast<const LevelMeterView*>(widget())->SpokenValue();
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* LevelMeterInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("LevelMeterView")) return nullptr;
  auto* view = qobject_cast<LevelMeterView*>(object);
  return view ? new LevelMeterAccessible(view) : nullptr;
}

QString Decibels(int dB) {
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
      dB_ < kQuietestDb ? tr("低于 %1 dB").arg(Decibels(kQuietestDb)) : Decibels(dB_) + QStringLiteral(" dB");
  return clipped_ ? tr("%1, 已削波").arg(level) : level;
}
