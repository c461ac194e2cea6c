// DialogButtons: the "确定" (cmdOK, default) and "取消" (cmdCancel) buttons the
// program's dialogs end with, wired to accept and reject. UI thread only.
#pragma once

#include <QCoreApplication>

class QBoxLayout;
class QDialog;

class DialogButtons {
  Q_DECLARE_TR_FUNCTIONS(DialogButtons)

 public:
  // Adds both to the end of `row`.
  static void AddOkCancel(QDialog& dialog, QBoxLayout& row);
};
