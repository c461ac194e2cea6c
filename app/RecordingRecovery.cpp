#include "app/RecordingRecovery.h"

#include <QCoreApplication>

#include "app/RecordingJournal.h"
#include "encoding/FlacFileRepair.h"
#include "encoding/WavFileRepair.h"

namespace {

std::string Tr(const char* text) { return QCoreApplication::translate("RecordingRecovery", text).toStdString(); }

enum class Mend { Repaired, Failed, InUse, Settled };

// What `Repair` (WavFileRepair or FlacFileRepair) did with `file`.
template <typename Repair>
Mend MendWith(const std::string& file, std::string& reason) {
  switch (Repair::Repair(file, &reason)) {
    case Repair::Outcome::Repaired: return Mend::Repaired;
    case Repair::Outcome::Failed: return Mend::Failed;
    case Repair::Outcome::InUse: return Mend::InUse;
    default: return Mend::Settled;
  }
}

// Mends the journalled file at `path` by its type. Ogg Opus pages and MP3 frames
// are readable as far as they were written, so those files need no mend and are
// settled as they are.
Mend MendRecording(const QString& path, std::string& reason) {
  if (path.endsWith(QStringLiteral(".wav"))) return MendWith<WavFileRepair>(path.toStdString(), reason);
  if (path.endsWith(QStringLiteral(".flac"))) return MendWith<FlacFileRepair>(path.toStdString(), reason);
  return Mend::Settled;
}

std::string Lines(const QStringList& names) { return names.join(QStringLiteral("\n")).toStdString(); }

void Append(std::string& text, const std::string& paragraph) {
  if (!text.empty()) text += "\n\n";
  text += paragraph;
}

}  // namespace

RecordingRecovery::Result RecordingRecovery::Scan(const RecordingJournal& journal) {
  Result result;
  const auto entries = journal.Read();
  result.journalError = entries.error;
  QStringList retry;
  for (const QString& name : entries.names) {
    std::string reason;
    switch (MendRecording(journal.PathOf(name), reason)) {
      case Mend::Repaired:
        result.recovered << name;
        break;
      case Mend::Failed:
        result.failed << name + QStringLiteral(": ") + QString::fromStdString(reason);
        retry << name;
        break;
      case Mend::InUse:  // another copy is recording it
        retry << name;
        break;
      case Mend::Settled:  // consistent, gone, or not provably a cut-off recording: left as it is
        break;
    }
  }
  if (retry != entries.names) result.journalError = journal.Replace(retry);
  return result;
}

std::string RecordingRecovery::Message(const Result& result) {
  std::string text;
  if (!result.recovered.isEmpty()) {
    Append(text, Tr(QT_TRANSLATE_NOOP("RecordingRecovery", "上次录音没有正常结束, 以下文件已修复:")) + "\n" +
                     Lines(result.recovered));
  }
  if (!result.failed.isEmpty()) {
    Append(text, Tr(QT_TRANSLATE_NOOP("RecordingRecovery", "以下文件没有正常结束, 但无法修复 (文件只读?):")) + "\n" +
                     Lines(result.failed));
  }
  if (!result.journalError.empty()) Append(text, result.journalError);
  return text;
}
