#include "app/windows/AppFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

void AppFont::UseCjkFont(QApplication& app) {
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
