#include "app/platform/FolderMaker.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

QString FolderMaker::Ensure(const QString& folder) {
  const QString path = QDir::cleanPath(folder);
  if (QFileInfo(path).isDir()) return {};
  // Parents first; the recursion ends at the root or at "." (both folders).
  const QString parent = QFileInfo(path).path();
  if (parent != path) {
    if (QString why = Ensure(parent); !why.isEmpty()) return why;
  }
  if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0) return {};
  const int error = errno;
  if (error == EEXIST && QFileInfo(path).isDir()) return {};  // made meanwhile by someone else
  return QCoreApplication::translate("FolderMaker", "无法创建文件夹 %1: %2")
      .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
}

QString FolderMaker::EnsureFolderOf(const QString& file) { return Ensure(QFileInfo(file).path()); }
