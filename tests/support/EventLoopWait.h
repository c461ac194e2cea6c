// WaitFor: runs the Qt event loop until a condition holds, the tests' stand-in
// for the program's own message loop. The limit only keeps a broken test from
// hanging; it is no speed requirement.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <typename Condition>
bool WaitFor(Condition done, int ms = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}
