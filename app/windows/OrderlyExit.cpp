#include "app/windows/OrderlyExit.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

namespace {

constexpr int kStepMs = 50;  // how often open dialogs are looked for while the program ends

}  // namespace

OrderlyExit::OrderlyExit(QWidget& window)
    : window_(window), programLoopLevel_(QThread::currentThread()->loopLevel() + 1) {
  steps_.setInterval(kStepMs);
  connect(&steps_, &QTimer::timeout, this, &OrderlyExit::Step);
}

void OrderlyExit::Request() {
  if (steps_.isActive()) return;
  steps_.start();
  Step();
}

void OrderlyExit::Step() {
  DismissOneDialog();
  // Not before the program's loop runs (start-up), nor inside a nested one.
  if (closing_ || QThread::currentThread()->loopLevel() != programLoopLevel_) return;
  closing_ = true;
  window_.close();
  // Also ends a program that another window (About) would keep running.
  QCoreApplication::quit();
}

void OrderlyExit::DismissOneDialog() {
  if (QWidget* popup = QApplication::activePopupWidget()) {
    popup->close();
    return;
  }
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) std::fprintf(stderr, "tamblin: %s\n", qPrintable(box->text()));
  if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    dialog->reject();
  } else {
    modal->close();
  }
}
