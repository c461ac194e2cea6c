#include "app/ProgramFolder.h"

#include <QCoreApplication>

namespace {
QString& OverriddenFolder() {
  static QString folder;
  return folder;
}
}  // namespace

QString ProgramFolder::Path() {
  if (!OverriddenFolder().isEmpty()) return OverriddenFolder();
  return QCoreApplication::applicationDirPath();
}

QString ProgramFolder::OutputFolder() { return Path() + "/file"; }
QString ProgramFolder::SettingsFile() { return Path() + "/nu.ini"; }
QString ProgramFolder::JournalFile() { return Path() + "/recording.journal"; }
QString ProgramFolder::HelpPage() { return Path() + "/bangzhu.htm"; }
QString ProgramFolder::LockFile() { return Path() + "/tamblin.lock"; }

void ProgramFolder::Override(const QString& folder) {
  QString path = folder;
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  OverriddenFolder() = path;
}
