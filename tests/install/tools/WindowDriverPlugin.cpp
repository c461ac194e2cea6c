#include "tests/install/tools/WindowDriverPlugin.h"

#include "tests/install/tools/ProgramWindowDriver.h"

QObject* WindowDriverPlugin::create(const QString& key, const QString&) {
  if (key.compare(QStringLiteral("tamblinwindowdriver"), Qt::CaseInsensitive) != 0) return nullptr;
  return new ProgramWindowDriver;
}
