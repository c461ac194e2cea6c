// Ending the program for the system while a message box waits for an answer.
#include "app/windows/OrderlyExit.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

// The box is dismissed, and the window closes only once the code that opened
// the box has gone on, back in the program's own loop.
TEST(OrderlyExitTest, DismissesAnOpenBoxThenClosesTheWindowFromTheProgramLoop) {
  QWidget window;
  window.show();
  OrderlyExit orderlyExit(window);
  QEventLoop programLoop;
  bool openAfterTheBox = false;
  QTimer::singleShot(0, &programLoop, [&] {
    QTimer::singleShot(0, &orderlyExit, &OrderlyExit::Request);
    QMessageBox::warning(nullptr, "Tamblin", "unanswered");
    openAfterTheBox = window.isVisible();
  });
  QTimer closed;
  QObject::connect(&closed, &QTimer::timeout, [&] {
    if (!window.isVisible()) programLoop.quit();
  });
  closed.start(10);
  programLoop.exec();
  EXPECT_TRUE(openAfterTheBox) << "closed while the box's opener was still waiting";
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
