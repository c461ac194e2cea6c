// WholeDateTimeEdit: a date and time field that Tab leaves as a whole, as it
// does every other field of a form; its sections (year ... second) are still
// reached with Left/Right and changed with Up/Down or by typing.
#pragma once

#include <QDateTimeEdit>

class WholeDateTimeEdit : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit WholeDateTimeEdit(QWidget* parent = nullptr) : QDateTimeEdit(parent) {}

 protected:
  bool focusNextPrevChild(bool next) override;
};
