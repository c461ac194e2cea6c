#include "app/RecordingRecovery.h"

#include <QDir>
#include <QFileInfo>

#include "encoding/WavFileRepair.h"

namespace {

const QString kPrefix = QStringLiteral("录音");
const QString kSuffix = QStringLiteral(".wav");

std::string Lines(const QStringList& names) { return names.join(QStringLiteral("\n")).toStdString(); }

}  // namespace

bool RecordingRecovery::IsNumberedRecording(const QString& fileName) {
  if (!fileName.startsWith(kPrefix) || !fileName.endsWith(kSuffix)) return false;
  const QString number = fileName.mid(kPrefix.size(), fileName.size() - kPrefix.size() - kSuffix.size());
  bool ok = false;
  const int value = number.toInt(&ok);
  // Exactly the spelling the program writes: no '+', no leading zeros, no spaces.
  return ok && value >= INT16_MIN && value <= INT16_MAX && QString::number(value) == number;
}

RecordingRecovery::Result RecordingRecovery::Scan(const QString& folder) {
  Result result;
  const QDir dir(folder);
  if (!dir.exists()) return result;
  const QFileInfoList entries =
      dir.entryInfoList({kPrefix + QStringLiteral("*") + kSuffix}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    if (!IsNumberedRecording(entry.fileName()) || entry.size() == 0) continue;
    switch (WavFileRepair::Repair(entry.filePath().toStdString())) {
      case WavFileRepair::Outcome::Repaired:
        result.recovered << entry.fileName();
        break;
      case WavFileRepair::Outcome::Failed:
        result.failed << entry.fileName();
        break;
      default:
        break;
    }
  }
  return result;
}

std::string RecordingRecovery::Message(const Result& result) {
  std::string text;
  if (!result.recovered.isEmpty()) {
    text += "上次录音没有正常结束, 以下文件已修复:\n" + Lines(result.recovered);
  }
  if (!result.failed.isEmpty()) {
    if (!text.empty()) text += "\n\n";
    text += "以下文件没有正常结束, 但无法修复 (文件只读?):\n" + Lines(result.failed);
  }
  return text;
}
