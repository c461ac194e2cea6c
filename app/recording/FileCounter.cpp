#include "app/recording/FileCounter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "app/platform/FolderMaker.h"
#include "app/platform/ProgramFolder.h"
#include "common/FileTypes.h"

namespace {

// nu.ini holding `counter`; empty when written, else why not.
QString WriteSettingsFile(int16_t counter) {
  // An installed program's first run has no state folder yet.
  if (QString folder = FolderMaker::EnsureFolderOf(ProgramFolder::SettingsFile()); !folder.isEmpty()) return folder;
  // Written to a temporary file and renamed, so a failed write never leaves a
  // truncated counter behind.
  QSaveFile file(ProgramFolder::SettingsFile());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return file.errorString();
  file.write(QByteArray::number(counter) + "\r\n");
  if (!file.commit()) return file.errorString();
  return {};
}

}  // namespace

bool FileCounter::Load() {
  intFileNo_ = 0;
  QFile file(ProgramFolder::SettingsFile());
  if (!file.open(QIODevice::ReadOnly)) return false;
  // The counter is a handful of digits; a longer first line is not a counter.
  const QByteArray line = file.readLine(64).trimmed();
  bool ok = false;
  const int value = line.toInt(&ok);
  if (!ok || value < INT16_MIN || value > INT16_MAX) return false;
  intFileNo_ = static_cast<int16_t>(value);
  return true;
}

bool FileCounter::Save(QString* error) const {
  const QString why = WriteSettingsFile(intFileNo_);
  if (error != nullptr) *error = why;
  return why.isEmpty();
}

void FileCounter::Advance() {
  intFileNo_ = static_cast<int16_t>(static_cast<uint16_t>(intFileNo_) + 1u);
}

QString FileCounter::NextFileName() const { return NumberedFile(extension_); }

QString FileCounter::NumberedFile(const QString& extension) const {
  return ProgramFolder::OutputFolder() + QStringLiteral("/录音") + QString::number(intFileNo_) + "." + extension;
}

const QStringList& FileCounter::RecordedExtensions() {
  static const QStringList extensions = [] {
    QStringList all;
    for (const FileTypes::Row& type : FileTypes::kRows) all << QString::fromLatin1(type.extension);
    return all;
  }();
  return extensions;
}

bool FileCounter::EnsureOutputFolder() {
  const QString folder = ProgramFolder::OutputFolder();
  if (QFileInfo(folder).isDir()) return true;
  return QDir().mkpath(folder);
}

bool FileCounter::NumberTaken() const {
  // Whatever stands at the very name, an empty file too, is not ours to write
  // into. Of the other types an empty file holds no recording (older versions
  // left one at every number they reserved); a link is not ours, even to one.
  const QFileInfo target(NextFileName());
  if (target.exists() || target.isSymLink()) return true;
  const auto taken = [this](const QString& extension) {
    const QFileInfo info(NumberedFile(extension));
    return info.isSymLink() || (info.exists() && !(info.isFile() && info.size() == 0));
  };
  return std::any_of(RecordedExtensions().begin(), RecordedExtensions().end(), taken);
}

bool FileCounter::PrepareNextFile() {
  // Every one of the 65536 numbers is tried at most once.
  for (int tries = 0; tries < 65536; ++tries) {
    if (!NumberTaken()) return true;
    Advance();
  }
  return false;
}
