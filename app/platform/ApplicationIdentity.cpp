#include "app/platform/ApplicationIdentity.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>

#ifndef TAMBLIN_APP_ID
#error "TAMBLIN_APP_ID must name the application id"
#endif
#ifndef TAMBLIN_VERSION
#error "TAMBLIN_VERSION must carry the project version"
#endif

QString ApplicationIdentity::Id() { return QStringLiteral(TAMBLIN_APP_ID); }

QString ApplicationIdentity::Version() { return QStringLiteral(TAMBLIN_VERSION); }

QIcon ApplicationIdentity::Icon() {
  // The pictures are rendered from the SVG at build time into the resource ":/icons".
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

void ApplicationIdentity::Apply() {
  // The organisation is the id's domain part read forwards ("tamblin.org").
  QStringList domain = Id().split('.');
  domain.removeLast();
  std::reverse(domain.begin(), domain.end());
  QCoreApplication::setOrganizationDomain(domain.join('.'));
  QCoreApplication::setApplicationName(Id());
  QCoreApplication::setApplicationVersion(Version());
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Tamblin"));
  QGuiApplication::setDesktopFileName(Id());
  QApplication::setWindowIcon(Icon());
}
