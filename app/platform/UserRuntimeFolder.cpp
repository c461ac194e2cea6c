#include "app/platform/UserRuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace {

QString SystemError(const QString& path) { return path + ": " + QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

QString UserRuntimeFolder::Locate(QString* error) {
  return Locate(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), ::getuid(), error);
}

QString UserRuntimeFolder::Locate(const QString& runtimeDir, const QString& tempFolder, uid_t user, QString* error) {
  QString unused;
  if (QDir::isAbsolutePath(runtimeDir) && IsPrivate(runtimeDir, user, &unused)) return QDir::cleanPath(runtimeDir);
  return MakeFallback(tempFolder, user, error);
}

QString UserRuntimeFolder::MakeFallback(const QString& tempFolder, uid_t user, QString* error) {
  const QString folder = QDir::cleanPath(tempFolder + "/tamblin-" + QString::number(user));
  // Made with mode 0700 (a umask only narrows it); an existing one must already be so.
  if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
    *error = SystemError(folder);
    return {};
  }
  if (!IsPrivate(folder, user, error)) return {};
  return folder;
}

bool UserRuntimeFolder::IsPrivate(const QString& folder, uid_t user, QString* why) {
  struct stat status {};
  if (::lstat(QFile::encodeName(folder).constData(), &status) != 0) {
    *why = SystemError(folder);
    return false;
  }
  if (S_ISDIR(status.st_mode) && status.st_uid == user && (status.st_mode & 07777) == S_IRWXU) return true;
  *why = QCoreApplication::translate("UserRuntimeFolder",
                                     "%1 不是本用户专用的文件夹 (须为本用户所有、权限 0700 的真实文件夹, 不能是链接)")
             .arg(folder);
  return false;
}
