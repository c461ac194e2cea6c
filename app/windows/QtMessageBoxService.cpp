#include "app/windows/QtMessageBoxService.h"

#include <QMessageBox>

void QtMessageBoxService::ShowWarning(const std::string& title, const std::string& text) {
  QMessageBox::warning(owner_, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok);
}

bool QtMessageBoxService::AskYesNo(const std::string& title, const std::string& text) {
  return QMessageBox::question(owner_, QString::fromStdString(title), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
