#include "app/windows/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QComboBox>
#include <QLineEdit>

namespace {

QAccessibleInterface* NamedComboBoxInterface(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* box = qobject_cast<QComboBox*>(object);
  return box != nullptr ? new AccessibleComboBox(box) : nullptr;
}

// Marks the chosen entry selected in the drop-down list, where readers look for a box's value.
void SelectChosenInList(QComboBox* box, int index) {
  QItemSelectionModel* selection = box->view()->selectionModel();
  if (selection == nullptr) return;
  if (index < 0) {
    selection->clear();
    return;
  }
  selection->select(box->model()->index(index, box->modelColumn(), box->rootModelIndex()),
                    QItemSelectionModel::ClearAndSelect);
}

}  // namespace

AccessibleComboBox::AccessibleComboBox(QComboBox* box) : LabelledAccessible(box, QAccessible::ComboBox) {
  SelectChosenInList(box, box->currentIndex());
  QObject::connect(box, &QComboBox::currentIndexChanged, box, [box](int index) { SelectChosenInList(box, index); });
}

void AccessibleComboBox::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(NamedComboBoxInterface);
    return true;
  }();
  (void)installed;
}

QComboBox* AccessibleComboBox::Box() const { return static_cast<QComboBox*>(widget()); }

QString AccessibleComboBox::text(QAccessible::Text kind) const {
  const QString value = Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
  if (kind == QAccessible::Value) return value;
  if (kind != QAccessible::Name) return LabelledAccessible::text(kind);
  // Its own name, else its label's text; a box with neither is known by its entry.
  const QString name = LabelledAccessible::text(kind);
  return name.isEmpty() ? value : name;
}

int AccessibleComboBox::childCount() const { return Box()->lineEdit() != nullptr ? 2 : 1; }

QAccessibleInterface* AccessibleComboBox::child(int index) const {
  if (index == 0) {
    // Also when the box changed with its signals blocked (the device list refilled).
    SelectChosenInList(Box(), Box()->currentIndex());
    return QAccessible::queryAccessibleInterface(Box()->view());
  }
  if (index == 1 && Box()->lineEdit() != nullptr) return QAccessible::queryAccessibleInterface(Box()->lineEdit());
  return nullptr;
}

int AccessibleComboBox::indexOfChild(const QAccessibleInterface* child) const {
  if (child == nullptr) return -1;
  if (child->object() == Box()->view()) return 0;
  if (Box()->lineEdit() != nullptr && child->object() == Box()->lineEdit()) return 1;
  return -1;
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
