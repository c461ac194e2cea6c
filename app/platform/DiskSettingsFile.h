// DiskSettingsFile: the settings file on the disk. Only a plain file of at
// most kMaxBytes is read; a symbolic link, a folder or a device in its place is
// not followed, read or replaced (it is not ours). Written to a temporary file
// beside it and renamed over it.
#pragma once

#include <QCoreApplication>

#include "app/platform/SettingsFile.h"

class DiskSettingsFile : public SettingsFile {
  Q_DECLARE_TR_FUNCTIONS(DiskSettingsFile)

 public:
  // Far more than every setting needs; a larger file is not the program's.
  static constexpr qint64 kMaxBytes = 64 * 1024;

  explicit DiskSettingsFile(QString path) : path_(std::move(path)) {}

  Contents Read() const override;
  QString Write(const QByteArray& bytes) override;

 private:
  // Why the thing at the path is not a file of ours; empty when it is one or when nothing is there.
  QString NotOurs() const;

  QString path_;
};
