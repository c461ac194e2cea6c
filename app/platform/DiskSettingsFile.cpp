#include "app/platform/DiskSettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "app/platform/FolderMaker.h"
#include "common/FileDescriptor.h"

namespace {

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

QString DiskSettingsFile::NotOurs() const {
  struct stat st{};
  if (::lstat(QFile::encodeName(path_).constData(), &st) != 0) return errno == ENOENT ? QString() : SystemReason(errno);
  if (S_ISLNK(st.st_mode)) return tr("它是一个符号链接");
  if (!S_ISREG(st.st_mode)) return tr("它不是普通文件");
  return {};
}

SettingsFile::Contents DiskSettingsFile::Read() const {
  if (const QString why = NotOurs(); !why.isEmpty()) return {std::nullopt, why};
  // O_NOFOLLOW and O_NONBLOCK: what was swapped in since the look is neither followed nor waited on.
  const FileDescriptor file(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.get() == -1) return {std::nullopt, errno == ENOENT ? QString() : SystemReason(errno)};
  struct stat st{};
  if (::fstat(file.get(), &st) != 0) return {std::nullopt, SystemReason(errno)};
  if (!S_ISREG(st.st_mode)) return {std::nullopt, tr("它不是普通文件")};
  const QString tooLarge = tr("它大于 %1 KB").arg(kMaxBytes / 1024);
  if (st.st_size > kMaxBytes) return {std::nullopt, tooLarge};
  // One byte more than allowed: a file that grew since the look is caught too.
  QByteArray bytes(kMaxBytes + 1, Qt::Uninitialized);
  qint64 got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(file.get(), bytes.data() + got, static_cast<size_t>(bytes.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {std::nullopt, SystemReason(errno)};
    if (n == 0) break;
    got += n;
  }
  if (got > kMaxBytes) return {std::nullopt, tooLarge};
  bytes.truncate(got);
  return {bytes, {}};
}

QString DiskSettingsFile::Write(const QByteArray& bytes) {
  if (const QString why = NotOurs(); !why.isEmpty()) return why;
  // An installed program's first run has no state folder yet.
  if (QString why = FolderMaker::EnsureFolderOf(path_); !why.isEmpty()) return why;
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return file.errorString();
  file.write(bytes);
  if (!file.commit()) return file.errorString();
  return {};
}
