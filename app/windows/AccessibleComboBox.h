// AccessibleComboBox: what a screen reader hears of a combo box that was given
// an accessible name: that name, and the chosen entry as its value. (Qt on
// Linux speaks the chosen entry as the name, so "Monitor of Null-Output"
// could be the device box or the line box.) Its label is its buddy QLabel.
// Combo boxes without an accessible name keep Qt's own reading.
#pragma once

#include "app/windows/LabelledAccessible.h"

class QComboBox;

class AccessibleComboBox : public LabelledAccessible {
 public:
  explicit AccessibleComboBox(QComboBox* box);

  // Makes every named combo box of the program speak this way (once is enough).
  static void Install();

  QString text(QAccessible::Text kind) const override;
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  QComboBox* Box() const;
};
