#include "app/recording/RecordingRecovery.h"

#include <QCoreApplication>

#include "app/recording/RecordingJournal.h"
#include "encoding/FlacFileRepair.h"
#include "encoding/OggMpegFile.h"
#include "encoding/RepairTarget.h"
#include "encoding/WavFileRepair.h"

namespace {

std::string Tr(const char* text) { return QCoreApplication::translate("RecordingRecovery", text).toStdString(); }

enum class Mend { Repaired, Removed, Discarded, Failed, InUse, Settled };

// What `repair` (of WavFileRepair or FlacFileRepair) did with `file`, proven ours.
template <typename Outcome>
Mend MendWith(RepairTarget& file, std::string& reason, Outcome (*repair)(const RepairTarget&, std::string*)) {
  file.OpenForWriting();  // where refused, the repair reports why once the file needs a mend
  switch (repair(file, &reason)) {
    case Outcome::Repaired: return Mend::Repaired;
    case Outcome::Failed: return Mend::Failed;
    case Outcome::InUse: return Mend::InUse;
    default: return Mend::Settled;
  }
}

// Ogg Opus pages and MP3 frames are readable as far as they were written, so
// those files need no mend; one without any audio is only in the way.
Mend RemoveWhenAudioless(const RepairTarget& file, std::string& reason) {
  if (!OggMpegFile::HoldsNoAudio(file.fd())) return Mend::Settled;
  if (file.HeldByRecording()) return Mend::InUse;
  return file.Remove(reason) ? Mend::Removed : Mend::Failed;
}

// A pending file (a tagged copy under its temporary name, a cut being written)
// a kill left: removed while its name still leads to the very file noted.
Mend DiscardPending(const RecordingJournal::Entry& entry, std::string& reason) {
  RepairTarget file;
  switch (file.Open(entry.path.toStdString())) {
    case RepairTarget::OpenResult::Opened: break;
    case RepairTarget::OpenResult::NotAFile: return Mend::Settled;  // finished and gone, or not ours
    case RepairTarget::OpenResult::Failed: reason = file.Error(); return Mend::Failed;
  }
  if (FileIdentity::Of(file.fd()) != entry.pending) return Mend::Settled;
  return file.Remove(reason) ? Mend::Discarded : Mend::Failed;
}

// Mends the journalled file of `entry` when it still is the file the recording opened.
Mend MendRecording(const RecordingJournal::Entry& entry, std::string& reason) {
  if (entry.pending) return DiscardPending(entry, reason);
  // An entry of the older format names a file nothing proves ours.
  if (!entry.identity) return Mend::Settled;
  RepairTarget file;
  switch (file.Open(entry.path.toStdString())) {
    case RepairTarget::OpenResult::Opened: break;
    case RepairTarget::OpenResult::NotAFile: return Mend::Settled;  // gone, or a link or non-file in its place
    case RepairTarget::OpenResult::Failed: reason = file.Error(); return Mend::Failed;
  }
  // Another file in its place, or rewritten by another program: not ours.
  if (RecordingIdentity::Of(file.fd()) != entry.identity) return Mend::Settled;
  switch (entry.identity->container()) {
    case RecordingIdentity::Container::Wave: return MendWith(file, reason, &WavFileRepair::RepairJournalled);
    case RecordingIdentity::Container::Flac:
      return MendWith<FlacFileRepair::Outcome>(file, reason, &FlacFileRepair::Repair);
    case RecordingIdentity::Container::Ogg:
    case RecordingIdentity::Container::Mpeg: return RemoveWhenAudioless(file, reason);
  }
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
  QList<RecordingJournal::Entry> retry;
  for (const auto& entry : entries.list) {
    std::string reason;
    switch (MendRecording(entry, reason)) {
      case Mend::Repaired:
        result.recovered << entry.name;
        break;
      case Mend::Removed:
        result.removed << entry.name;
        break;
      case Mend::Discarded:
        result.discarded << entry.name;
        break;
      case Mend::Failed:
        result.failed << entry.name + QStringLiteral(": ") + QString::fromStdString(reason);
        retry << entry;
        break;
      case Mend::InUse:  // another copy is recording it
        retry << entry;
        break;
      case Mend::Settled:  // consistent, gone, not ours, or not provably a cut-off recording: left as it is
        break;
    }
  }
  // `retry` keeps a part of the entries in order: equal in size means unchanged.
  if (retry.size() != entries.list.size()) result.journalError = journal.Replace(retry);
  return result;
}

std::string RecordingRecovery::Message(const Result& result) {
  std::string text;
  if (!result.recovered.isEmpty()) {
    Append(text, Tr(QT_TRANSLATE_NOOP("RecordingRecovery", "上次录音没有正常结束, 以下文件已修复:")) + "\n" +
                     Lines(result.recovered));
  }
  if (!result.removed.isEmpty()) {
    Append(text, Tr(QT_TRANSLATE_NOOP("RecordingRecovery", "上次录音没有正常结束, 以下文件没有录下任何声音, 已删除:")) +
                     "\n" + Lines(result.removed));
  }
  if (!result.failed.isEmpty()) {
    Append(text, Tr(QT_TRANSLATE_NOOP("RecordingRecovery", "以下文件没有正常结束, 但无法修复 (文件只读?):")) + "\n" +
                     Lines(result.failed));
  }
  if (!result.journalError.empty()) Append(text, result.journalError);
  return text;
}
