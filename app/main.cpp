// tamblin: the desktop sound recorder. Options: --help, --version.
#include <QApplication>

#include "app/AppFont.h"
#include "app/ApplicationIdentity.h"
#include "app/CommandLine.h"
#include "app/Form1.h"

int main(int argc, char** argv) {
  CommandLine::Process(argc, argv);
  QApplication app(argc, argv);
  ApplicationIdentity::Apply();
  AppFont::UseCjkFont(app);
  Form1 window;
  window.Load();
  return app.exec();
}
