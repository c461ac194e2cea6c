#include "app/windows/AccessibleComboBox.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

QAccessibleInterface* NamedComboBoxInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* box = qobject_cast<QComboBox*>(object);
  return box != nullptr && !box->accessibleName().isEmpty() ? new AccessibleComboBox(box) : nullptr;
}

}  // namespace

AccessibleComboBox::AccessibleComboBox(QComboBox* box) : LabelledAccessible(box, QAccessible::ComboBox) {}

void AccessibleComboBox::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(NamedComboBoxInterface);
    return true;
  }();
  (void)installed;
}

QComboBox* AccessibleComboBox::Box() const { return static_cast<QComboBox*>(widget()); }

QString AccessibleComboBox::text(QAccessible::Text kind) const {
  if (kind == QAccessible::Name) return Box()->accessibleName();
  if (kind == QAccessible::Value) return Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
  return LabelledAccessible::text(kind);
}

QStringList AccessibleComboBox::actionNames() const {
  return QStringList{showMenuAction()} + LabelledAccessible::actionNames();
}

void AccessibleComboBox::doAction(const QString& action) {
  if (action == showMenuAction() || action == pressAction()) {
    Box()->showPopup();
    return;
  }
  LabelledAccessible::doAction(action);
}
