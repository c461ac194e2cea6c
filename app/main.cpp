// tamblin: the desktop sound recorder. Takes no arguments.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "app/Form1.h"

namespace {

// One CJK-capable family for the whole window, so Latin and Chinese text share
// metrics instead of mixing a Latin face with a fallback.
void UseCjkFont(QApplication& app) {
  const QStringList families = QFontDatabase::families();
  for (const char* family : {"Noto Sans CJK SC", "Noto Sans SC", "WenQuanYi Micro Hei", "Source Han Sans SC"}) {
    if (families.contains(family)) {
      QFont font = app.font();
      font.setFamily(family);
      app.setFont(font);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  UseCjkFont(app);
  Form1 window;
  window.Load();
  return app.exec();
}
