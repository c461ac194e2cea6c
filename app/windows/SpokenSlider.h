// SpokenSlider: tells assistive technology a slider's position in its user's
// units ("40 %", "−6 dB", "250 ms") instead of its raw steps, with the name
// and label it is given. Every slider created after Install() is read through
// here; one that Describe() gave no units is read in its steps, as Qt would.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

class QSlider;

class SpokenSlider {
  Q_DECLARE_TR_FUNCTIONS(SpokenSlider)

 public:
  // The user's value of a slider step: linear in the step (a reversed slider
  // has a falling one). `decimals` digits are spoken after the point.
  struct Units {
    std::function<double(int step)> value;
    int decimals = 0;
    QString suffix;  // follows the number: "%", " dB"
    // When set, the current value as the window shows it beside the slider,
    // which may differ from the position (no device chosen yet).
    std::function<double()> shown;
  };

  // Makes sliders created from now on speak this way (once is enough).
  static void Install();

  // Gives `slider` its `units`; `label`, when given, is announced as the text
  // that labels it. The units live as long as the slider.
  static void Describe(QSlider& slider, Units units, class QLabel* label = nullptr);

  // Units for a slider whose step is `perStep` of the user's unit.
  static Units Linear(double perStep, int decimals, const QString& suffix);

  // The slider's current value as spoken, e.g. "−6 dB" (a typographic minus).
  static QString Text(const QSlider& slider);
};
