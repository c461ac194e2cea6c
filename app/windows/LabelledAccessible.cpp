#include "app/windows/LabelledAccessible.h"

#include <QGroupBox>
#include <QLabel>

LabelledAccessible::LabelledAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>> LabelledAccessible::relations(
    QAccessible::Relation match) const {
  auto found = QAccessibleWidget::relations(match);
  if (!(match & QAccessible::Label)) return found;
  QList<QLabel*> buddies;
  for (QLabel* label : widget()->window()->findChildren<QLabel*>()) {
    if (label->buddy() == widget()) buddies.append(label);
  }
  if (buddies.isEmpty()) return found;
  found.removeIf([](const QPair<QAccessibleInterface*, QAccessible::Relation>& each) {
    return each.second == QAccessible::Label && qobject_cast<QGroupBox*>(each.first->object()) != nullptr;
  });
  for (QLabel* label : buddies) {
    QAccessibleInterface* labelSide = QAccessible::queryAccessibleInterface(label);
    const bool listed = std::any_of(found.cbegin(), found.cend(), [labelSide](const auto& each) {
      return each.first == labelSide && each.second == QAccessible::Label;
    });
    if (labelSide != nullptr && !listed) found.append({labelSide, QAccessible::Label});
  }
  return found;
}
