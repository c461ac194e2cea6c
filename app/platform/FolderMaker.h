// FolderMaker: makes the folder a file is about to be written into, with the
// parents it lacks (as mkdir -p does), and when that is impossible says which
// folder failed and why in the system's words. Qt's writers (QSaveFile,
// QLockFile) report a missing folder only as "Unknown error".
#pragma once

#include <QString>

class FolderMaker {
 public:
  // Empty when `folder` is a folder (now); else the user's text naming the
  // folder whose mkdir failed and its strerror.
  static QString Ensure(const QString& folder);
  // Ensure() for the folder that holds `file`.
  static QString EnsureFolderOf(const QString& file);
};
