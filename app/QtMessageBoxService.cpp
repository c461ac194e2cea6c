#include "app/QtMessageBoxService.h"

#include <QMessageBox>

void QtMessageBoxService::ShowWarning(const std::string& title, const std::string& text) {
  QMessageBox::warning(owner_, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok);
}
