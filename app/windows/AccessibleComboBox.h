// AccessibleComboBox: what a screen reader hears of a combo box: its
// accessible name (else its label's text), and the chosen entry as its value.
// (Qt on Linux speaks the chosen entry as the name, so "Monitor of
// Null-Output" could be the device box or the line box.) Its label is its
// buddy QLabel.
#pragma once

#include "app/windows/LabelledAccessible.h"

class QComboBox;

class AccessibleComboBox : public LabelledAccessible {
 public:
  explicit AccessibleComboBox(QComboBox* box);

  // Makes every combo box created from now on speak this way (once is enough).
  static void Install();

  QString text(QAccessible::Text kind) const override;
  // As Qt's own: the drop-down list first (its selected entry is the value a
  // reader speaks), then the text field of an editable box.
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  QComboBox* Box() const;
};
