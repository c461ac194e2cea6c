#include "app/recording/RecordingJournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <mutex>

#include "app/recording/FileCounter.h"
#include "app/platform/FolderMaker.h"
#include "app/platform/ProgramFolder.h"
#include "encoding/RepairTarget.h"
#include "encoding/WavFileRepair.h"

namespace {

const QString kPrefix = QStringLiteral("录音");
const QString kNotAFile = QStringLiteral("not a regular file");
// Fields of RecordingIdentity::ToText before the path in a line, or "pending"
// and the three of FileIdentity::ToText.
constexpr int kIdentityFields = 4;
const QByteArray kPending = QByteArrayLiteral("pending ");

// One change at a time: the recording thread, a re-tag and a cut may each note a file.
std::mutex& Changes() {
  static std::mutex changes;
  return changes;
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// A link or a non-file in the journal's place is not ours to read or replace.
bool NotAFile(const QFileInfo& info) { return info.isSymLink() || (info.exists() && !info.isFile()); }

QString AbsolutePath(const std::string& path) {
  return QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
}

// Control bytes, spaces and '%' as "%XX": a path stays one field of one line.
QByteArray Escaped(const QByteArray& bytes) {
  QByteArray text;
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte <= ' ' || byte == 0x7F || byte == '%') {
      text += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
    } else {
      text += c;
    }
  }
  return text;
}

// Where the path starts in a line: after the identity's fields; -1 when there are fewer.
qsizetype PathStart(const QByteArray& line) {
  qsizetype at = 0;
  for (int field = 0; field < kIdentityFields && at >= 0; ++field) {
    at = line.indexOf(' ', at);
    if (at >= 0) ++at;
  }
  return at;
}

QByteArray LineOf(const RecordingJournal::Entry& entry) {
  if (entry.pending) return kPending + QByteArray::fromStdString(entry.pending->ToText()) + ' ' + Escaped(entry.path.toUtf8());
  if (!entry.identity) return entry.name.toUtf8();
  return QByteArray::fromStdString(entry.identity->ToText()) + ' ' + Escaped(entry.path.toUtf8());
}

QByteArray TextOf(const QList<RecordingJournal::Entry>& entries) {
  QByteArray text;
  for (const auto& entry : entries) text += LineOf(entry) + '\n';
  return text;
}

// The identity of the regular file at `path`, never through a link.
std::optional<RecordingIdentity> IdentityAt(const QString& path) {
  RepairTarget file;
  if (file.Open(path.toStdString()) != RepairTarget::OpenResult::Opened) return std::nullopt;
  return RecordingIdentity::Of(file.fd());
}

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

RecordingJournal::Entry RecordingJournal::MakeEntry(const QString& path,
                                                    std::optional<RecordingIdentity> identity) const {
  const QFileInfo info(path);
  const bool inOutput = QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(QDir(outputFolder_).absolutePath());
  return {path, inOutput ? info.fileName() : path, std::move(identity)};
}

// The absolute, clean path after the identity of a line; none for any other text.
std::optional<QString> PathField(const QByteArray& line, qsizetype pathStart) {
  const QByteArray pathBytes = QByteArray::fromPercentEncoding(line.mid(pathStart));
  const QString path = QString::fromUtf8(pathBytes);
  if (pathBytes.contains('\0') || !path.startsWith('/') || QDir::cleanPath(path) != path) return std::nullopt;
  return path;
}

std::optional<RecordingJournal::Entry> RecordingJournal::ParseLine(const QByteArray& line) const {
  const QString text = QString::fromUtf8(line);
  if (IsNumberedRecording(text)) return MakeEntry(PathOf(text), std::nullopt);
  if (line.startsWith(kPending)) return ParsePendingLine(line);
  const qsizetype pathStart = PathStart(line);
  if (pathStart < 0) return std::nullopt;
  auto identity = RecordingIdentity::FromText(line.left(pathStart - 1).toStdString());
  const auto path = PathField(line, pathStart);
  if (!identity || !path) return std::nullopt;
  return MakeEntry(*path, std::move(identity));
}

std::optional<RecordingJournal::Entry> RecordingJournal::ParsePendingLine(const QByteArray& line) const {
  const qsizetype pathStart = PathStart(line);
  if (pathStart < 0) return std::nullopt;
  const QByteArray identityText = line.mid(kPending.size(), pathStart - 1 - kPending.size());
  auto identity = FileIdentity::FromText(identityText.toStdString());
  const auto path = PathField(line, pathStart);
  if (!identity || !path) return std::nullopt;
  Entry entry = MakeEntry(*path, std::nullopt);
  entry.pending = identity;
  return entry;
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
  for (qsizetype i = 0; i < lines.size() && i < kMaxLines && entries.list.size() < kMaxEntries; ++i) {
    const auto entry = ParseLine(lines[i].trimmed());
    if (!entry || entries.names.contains(entry->name)) continue;
    entries.list << *entry;
    entries.names << entry->name;
  }
  return entries;
}

std::string RecordingJournal::Replace(const QList<Entry>& entries) const {
  if (NotAFile(QFileInfo(journalFile_))) return WriteError(kNotAFile);
  if (const QString folder = FolderMaker::EnsureFolderOf(journalFile_); !folder.isEmpty()) return WriteError(folder);
  QSaveFile file(journalFile_);
  if (!file.open(QIODevice::WriteOnly)) return WriteError(file.errorString());
  file.write(TextOf(entries));
  if (!file.commit()) return WriteError(file.errorString());
  return {};
}

std::string RecordingJournal::WriteError(const QString& reason) const {
  return Utf8(QCoreApplication::translate("RecordingJournal", "无法写入录音日志 %1 !\n%2").arg(journalFile_, reason));
}

std::string RecordingJournal::Update(const QString& path, std::optional<Entry> entry) const {
  const std::lock_guard lock(Changes());
  Entries entries = Read();
  if (!entries.error.empty()) return entries.error;
  const auto same = [&](const Entry& known) { return known.path == path; };
  const auto known = std::find_if(entries.list.begin(), entries.list.end(), same);
  if (known == entries.list.end() ? !entry
                                  : entry && known->identity == entry->identity && known->pending == entry->pending) {
    return {};  // as it is already
  }
  entries.list.removeIf(same);
  if (entry) entries.list << *entry;
  // Only a foreign journal holds this many unfinished recordings; the oldest make room.
  while (entries.list.size() > kMaxEntries || TextOf(entries.list).size() > kMaxBytes) entries.list.removeFirst();
  return Replace(entries.list);
}

std::string RecordingJournal::Begin(const std::string& recording) const {
  const QString path = AbsolutePath(recording);
  auto identity = IdentityAt(path);
  // Nothing would prove the file ours at the next start, and a repair would not mend it.
  if (!identity) return Read().error;
  return Update(path, MakeEntry(path, std::move(identity)));
}

void RecordingJournal::Finish(const std::string& recording) const {
  // Finished, but its last header did not reach the file: the next start mends it.
  if (WavFileRepair::NeedsRepair(recording)) return;
  Update(AbsolutePath(recording), std::nullopt);
}

void RecordingJournal::BeginPending(const std::string& file, int fd) const {
  const auto identity = FileIdentity::Of(fd);
  if (!identity) return;
  const QString path = AbsolutePath(file);
  Entry entry = MakeEntry(path, std::nullopt);
  entry.pending = identity;
  Update(path, entry);
}

void RecordingJournal::FinishPending(const std::string& file) const { Update(AbsolutePath(file), std::nullopt); }
