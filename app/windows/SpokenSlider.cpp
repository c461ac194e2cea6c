#include "app/windows/SpokenSlider.h"

#include <QAccessibleValueInterface>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <cmath>

#include "app/windows/LabelledAccessible.h"

namespace {

// Rides on the slider (a child object) so that its units live and die with it.
class UnitsHolder : public QObject {
 public:
  UnitsHolder(QSlider& slider, SpokenSlider::Units units) : QObject(&slider), units_(std::move(units)) {}
  const SpokenSlider::Units& Units() const { return units_; }

 private:
  SpokenSlider::Units units_;
};

const UnitsHolder* HolderOf(const QObject& slider) {
  for (const QObject* child : slider.children()) {
    if (const auto* holder = dynamic_cast<const UnitsHolder*>(child)) return holder;
  }
  return nullptr;
}

// A slider without units is spoken in its steps.
const SpokenSlider::Units& UnitsOf(const QSlider& slider) {
  static const SpokenSlider::Units steps{[](int step) { return static_cast<double>(step); }, 0, {}, {}};
  const UnitsHolder* holder = HolderOf(slider);
  return holder != nullptr ? holder->Units() : steps;
}

double Current(const QSlider& slider) {
  const SpokenSlider::Units& units = UnitsOf(slider);
  return units.shown ? units.shown() : units.value(slider.value());
}

class SpokenSliderAccessible : public LabelledAccessible, public QAccessibleValueInterface {
 public:
  explicit SpokenSliderAccessible(QSlider* slider) : LabelledAccessible(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return LabelledAccessible::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return SpokenSlider::Text(*Slider());
    return LabelledAccessible::text(kind);
  }

  QVariant currentValue() const override { return Current(*Slider()); }
  QVariant minimumValue() const override { return std::min(UserValue(Slider()->minimum()), UserValue(Slider()->maximum())); }
  QVariant maximumValue() const override { return std::max(UserValue(Slider()->minimum()), UserValue(Slider()->maximum())); }
  QVariant minimumStepSize() const override {
    const int steps = std::max(1, Slider()->maximum() - Slider()->minimum());
    return std::abs(UserValue(Slider()->maximum()) - UserValue(Slider()->minimum())) / steps * Slider()->singleStep();
  }

  // The step nearest `value` (the units are linear in the step).
  void setCurrentValue(const QVariant& value) override {
    const int first = Slider()->minimum();
    const double span = UserValue(Slider()->maximum()) - UserValue(first);
    if (span == 0) return;
    const double steps = (value.toDouble() - UserValue(first)) / span * (Slider()->maximum() - first);
    Slider()->setValue(first + static_cast<int>(std::lround(steps)));
  }

 private:
  QSlider* Slider() const { return static_cast<QSlider*>(widget()); }
  double UserValue(int step) const { return UnitsOf(*Slider()).value(step); }
};

QAccessibleInterface* SpokenSliderInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("QSlider")) return nullptr;
  auto* slider = qobject_cast<QSlider*>(object);
  return slider != nullptr ? new SpokenSliderAccessible(slider) : nullptr;
}

}  // namespace

void SpokenSlider::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(SpokenSliderInterface);
    return true;
  }();
  (void)installed;
}

void SpokenSlider::Describe(QSlider& slider, Units units, QLabel* label) {
  Install();
  new UnitsHolder(slider, std::move(units));
  if (label != nullptr) label->setBuddy(&slider);
}

SpokenSlider::Units SpokenSlider::Linear(double perStep, int decimals, const QString& suffix) {
  return {[perStep](int step) { return step * perStep + 0.0; }, decimals, suffix, {}};  // + 0.0: no -0
}

QString SpokenSlider::Text(const QSlider& slider) {
  const Units& units = UnitsOf(slider);
  QString number = QString::number(Current(slider), 'f', units.decimals);
  if (number.toDouble() == 0) number = QString::number(0.0, 'f', units.decimals);  // no "-0"
  if (number.startsWith('-')) number.replace(0, 1, QChar(0x2212));
  return number + units.suffix;
}
