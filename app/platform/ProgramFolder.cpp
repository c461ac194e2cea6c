#include "app/platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/platform/ApplicationIdentity.h"
#include "app/platform/InterfaceLanguage.h"

namespace {

QString& OverriddenFolder() {
  static QString folder;
  return folder;
}

// "<prefix>/share/<app id>" for an executable folder "<prefix>/bin".
QString InstalledDataFolder(const QString& executableFolder) {
  return QDir::cleanPath(executableFolder + "/../share/" + ApplicationIdentity::Id());
}

// The XDG location for `type`, or the home folder when the desktop names none.
QString UserLocation(QStandardPaths::StandardLocation type) {
  const QString location = QStandardPaths::writableLocation(type);
  return location.isEmpty() ? QDir::homePath() : location;
}

}  // namespace

QString ProgramFolder::Path() {
  if (!OverriddenFolder().isEmpty()) return OverriddenFolder();
  return QCoreApplication::applicationDirPath();
}

bool ProgramFolder::Installed() {
  const QString folder = Path();
  return QFileInfo(folder).fileName() == QStringLiteral("bin") &&
         QFileInfo(InstalledDataFolder(folder)).isDir();
}

QString ProgramFolder::OutputFolder() {
  if (!Installed()) return Path() + "/file";
  return UserLocation(QStandardPaths::MusicLocation) + "/Tamblin";
}

QString ProgramFolder::StateFolder() {
  if (!Installed()) return Path();
  // Named after the id itself, whatever application name a test has set.
  return UserLocation(QStandardPaths::GenericConfigLocation) + "/" + ApplicationIdentity::Id();
}

QString ProgramFolder::DataFolder() {
  if (!Installed()) return Path();
  return InstalledDataFolder(Path());
}

QString ProgramFolder::SettingsFile() { return StateFolder() + "/nu.ini"; }
QString ProgramFolder::PreferencesFile() { return StateFolder() + "/tamblin.ini"; }
QString ProgramFolder::HelpPage() { return DataFolder() + "/" + InterfaceLanguage::HelpPageName(); }

QString ProgramFolder::JournalFile() { return StateFolder() + "/recording.journal"; }
QString ProgramFolder::LockFile() { return StateFolder() + "/tamblin.lock"; }

void ProgramFolder::Override(const QString& folder) {
  QString path = folder;
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  OverriddenFolder() = path;
}
