// LabelledAccessible: a widget's accessible side whose label is the QLabel
// that names it as buddy, wherever in the window that label sits (Qt finds
// only a sibling, and otherwise calls the surrounding group box the label).
// Name and value come from the subclasses.
#pragma once

#include <QAccessibleWidget>

class LabelledAccessible : public QAccessibleWidget {
 public:
  LabelledAccessible(QWidget* widget, QAccessible::Role role);

  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match = QAccessible::AllRelations) const override;
};
