// OrderlyExit: ends the program when the system asks (TerminationSignals) the
// way the tray's "退出" does: the main window is closed, which stops a running
// recording as the stop button does, and then the program quits.
//
// The window is closed from the program's own event loop only. A dialog that
// runs a nested loop is dismissed first, since nobody is left to answer it (a
// message box's text goes to standard error), so no code that opened a dialog
// resumes on an unloaded window; boxes the close itself opens go the same way.
// Made before the window loads; a request during the load waits for the
// program's event loop. UI thread only.
#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

class OrderlyExit : public QObject {
  Q_OBJECT

 public:
  explicit OrderlyExit(QWidget& window);

  // Starts the exit; later calls change nothing.
  void Request();

 private:
  void Step();
  static void DismissOneDialog();

  QWidget& window_;
  int programLoopLevel_;  // QThread::loopLevel() inside the program's own event loop
  QTimer steps_;
  bool closing_ = false;
};
