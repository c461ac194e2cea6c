#include "app/RecordingJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/FileCounter.h"
#include "app/FolderMaker.h"
#include "app/ProgramFolder.h"
#include "encoding/WavFileRepair.h"

namespace {

const QString kPrefix = QStringLiteral("录音");
const QString kNotAFile = QStringLiteral("not a regular file");

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// A link or a non-file in the journal's place is not ours to read or replace.
bool NotAFile(const QFileInfo& info) { return info.isSymLink() || (info.exists() && !info.isFile()); }

}  // namespace

RecordingJournal::RecordingJournal() : RecordingJournal(ProgramFolder::JournalFile(), ProgramFolder::OutputFolder()) {}

RecordingJournal::RecordingJournal(const QString& journalFile, const QString& outputFolder)
    : journalFile_(journalFile), outputFolder_(outputFolder) {}

bool RecordingJournal::IsNumberedRecording(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf('.');
  if (!fileName.startsWith(kPrefix) || dot < 0 || !FileCounter::RecordedExtensions().contains(fileName.mid(dot + 1))) {
    return false;
  }
  const QString number = fileName.mid(kPrefix.size(), dot - kPrefix.size());
  bool ok = false;
  const int value = number.toInt(&ok);
  // Exactly the spelling the program writes: no '+', no leading zeros, no spaces.
  return ok && value >= INT16_MIN && value <= INT16_MAX && QString::number(value) == number;
}

QString RecordingJournal::PathOf(const QString& name) const { return outputFolder_ + QStringLiteral("/") + name; }

QString RecordingJournal::EntryName(const std::string& recording) const {
  const QFileInfo info(QString::fromStdString(recording));
  if (QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(QDir(outputFolder_).absolutePath())) return {};
  return IsNumberedRecording(info.fileName()) ? info.fileName() : QString();
}

RecordingJournal::Entries RecordingJournal::Read() const {
  Entries entries;
  const QFileInfo info(journalFile_);
  if (!info.exists() && !info.isSymLink()) return entries;
  QFile file(journalFile_);
  if (NotAFile(info) || !file.open(QIODevice::ReadOnly)) {
    entries.error = Utf8(QCoreApplication::translate("RecordingJournal", "无法读取录音日志 %1 !\n%2")
                                .arg(journalFile_, NotAFile(info) ? kNotAFile : file.errorString()));
    return entries;
  }
  QList<QByteArray> lines = file.read(kMaxBytes).split('\n');
  // A line cut by the size limit could read as a shorter name.
  if (file.size() > kMaxBytes) lines.removeLast();
  for (qsizetype i = 0; i < lines.size() && i < kMaxLines && entries.names.size() < kMaxEntries; ++i) {
    const QString name = QString::fromUtf8(lines[i].trimmed());
    if (IsNumberedRecording(name) && !entries.names.contains(name)) entries.names << name;
  }
  return entries;
}

std::string RecordingJournal::Replace(const QStringList& names) const {
  if (NotAFile(QFileInfo(journalFile_))) return WriteError(kNotAFile);
  if (const QString folder = FolderMaker::EnsureFolderOf(journalFile_); !folder.isEmpty()) return WriteError(folder);
  QSaveFile file(journalFile_);
  if (!file.open(QIODevice::WriteOnly)) return WriteError(file.errorString());
  QByteArray text;
  for (const QString& name : names) text += name.toUtf8() + '\n';
  file.write(text);
  if (!file.commit()) return WriteError(file.errorString());
  return {};
}

std::string RecordingJournal::WriteError(const QString& reason) const {
  return Utf8(QCoreApplication::translate("RecordingJournal", "无法写入录音日志 %1 !\n%2").arg(journalFile_, reason));
}

std::string RecordingJournal::Begin(const std::string& recording) const {
  const QString name = EntryName(recording);
  if (name.isEmpty()) return {};
  Entries entries = Read();
  if (!entries.error.empty()) return entries.error;
  if (entries.names.contains(name)) return {};
  // Only a foreign journal holds this many unfinished recordings; the oldest makes room.
  if (entries.names.size() >= kMaxEntries) entries.names.removeFirst();
  entries.names << name;
  return Replace(entries.names);
}

void RecordingJournal::Finish(const std::string& recording) const {
  const QString name = EntryName(recording);
  if (name.isEmpty()) return;
  Entries entries = Read();
  if (!entries.error.empty() || !entries.names.contains(name)) return;
  // Finished, but its last header did not reach the file: the next start mends it.
  if (WavFileRepair::NeedsRepair(recording)) return;
  entries.names.removeAll(name);
  Replace(entries.names);
}
