// ApplicationIdentity: who the program says it is to the desktop. The
// reverse-DNS application id names the desktop entry, the icon, the metainfo
// and the per-user folders; the version is the build's project version.
#pragma once

#include <QIcon>
#include <QString>

class ApplicationIdentity {
 public:
  static QString Id();       // "org.tamblin.Tamblin"
  static QString Version();  // "3.3"
  // The application icon, drawn at 16, 32, 48, 64, 128 and 256 px (built into
  // the program, so it is the same installed or not).
  static QIcon Icon();
  // Gives the running application its names, desktop entry and window icon.
  // Call once after the QApplication exists.
  static void Apply();
};
