// tamblin: the desktop sound recorder. Takes no arguments.
#include <QApplication>

#include "app/AppFont.h"
#include "app/Form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  AppFont::UseCjkFont(app);
  Form1 window;
  window.Load();
  return app.exec();
}
