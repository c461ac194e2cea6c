#include "app/RecordingRecovery.h"

#include "app/RecordingJournal.h"
#include "encoding/WavFileRepair.h"

namespace {

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
    switch (WavFileRepair::Repair(journal.PathOf(name).toStdString(), &reason)) {
      case WavFileRepair::Outcome::Repaired:
        result.recovered << name;
        break;
      case WavFileRepair::Outcome::Failed:
        result.failed << name + QStringLiteral(": ") + QString::fromStdString(reason);
        retry << name;
        break;
      case WavFileRepair::Outcome::InUse:  // another copy is recording it
        retry << name;
        break;
      default:  // consistent, gone, or not provably a cut-off recording: left as it is
        break;
    }
  }
  if (retry != entries.names) result.journalError = journal.Replace(retry);
  return result;
}

std::string RecordingRecovery::Message(const Result& result) {
  std::string text;
  if (!result.recovered.isEmpty()) Append(text, "上次录音没有正常结束, 以下文件已修复:\n" + Lines(result.recovered));
  if (!result.failed.isEmpty()) Append(text, "以下文件没有正常结束, 但无法修复 (文件只读?):\n" + Lines(result.failed));
  if (!result.journalError.empty()) Append(text, result.journalError);
  return text;
}
