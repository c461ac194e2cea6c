// QtOutputFileDialog on the offscreen platform: no question about the typed
// name (the window asks about the file with its suffix).
#include "app/windows/QtOutputFileDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

TEST(QtOutputFileDialogTest, ExistingTypedNameIsTakenWithoutAQuestion) {
  QTemporaryDir dir;
  const QString typed = dir.path() + "/take";
  QFile existing(typed);
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();

  // Plays the user: types the name into the dialog and accepts; any box that
  // opens on top is counted and answered No. Bounded: gives up after 10 s.
  int questions = 0;
  int polls = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    if (++polls > 500) {
      modal->reject();
    } else if (qobject_cast<QMessageBox*>(modal) != nullptr) {
      ++questions;
      modal->done(QMessageBox::No);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      dialog->setDirectory(dir.path());
      if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText("take");
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    }
  });
  user.start(20);
  QtOutputFileDialog fileDialog;
  const std::string chosen = fileDialog.AskFileName("Wave ACM Encoder (*.wav)|*.wav");
  user.stop();
  EXPECT_EQ(questions, 0);
  EXPECT_EQ(chosen, typed.toStdString());
}

}  // namespace
