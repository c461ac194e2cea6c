// tamblin: the desktop sound recorder. Takes no arguments.
#include <QApplication>
#include <csignal>

#include "app/AppFont.h"
#include "app/Form1.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and is reported like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  AppFont::UseCjkFont(app);
  Form1 window;
  window.Load();
  return app.exec();
}
