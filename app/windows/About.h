// About: the window "Tamblin-关于我们" with the title, a thank-you line, a
// set-up hint, "确定" (closes it) and "帮助(&H)" (opens the help page). There is
// at most one; it is not modal and has no owner, so the main window stays usable
// and closing the main window leaves it open.
#pragma once

#include <QWidget>

class About : public QWidget {
  Q_OBJECT

 public:
  // Shows the one About window, creating it when none is open.
  static void ShowInstance();
  // The open About window, or nullptr.
  static About* Instance();

 private:
  explicit About(QWidget* parent = nullptr);
};
