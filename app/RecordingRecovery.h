// RecordingRecovery: the start-up repair of recordings this program left
// unfinished (killed process, crash, power cut). Only files named in the
// RecordingJournal are looked at; WavFileRepair (WAV sizes) and FlacFileRepair
// (FLAC total length) mend those that provably are cut-off recordings (Ogg Opus
// and MP3 files need no mend), and the user is told which files were
// recovered. Entries that are settled leave the journal; a file another running
// recording holds, or one that could not be written, stays for the next start.
#pragma once

#include <QStringList>
#include <string>

class RecordingJournal;

class RecordingRecovery {
 public:
  struct Result {
    QStringList recovered;     // file names (no folder) whose header was mended
    QStringList failed;        // "name: reason" of files that needed mending but could not be written
    std::string journalError;  // the journal could not be read or rewritten (user's message)
    bool Empty() const { return recovered.isEmpty() && failed.isEmpty() && journalError.empty(); }
  };

  // Repairs what `journal` names and settles its entries.
  static Result Scan(const RecordingJournal& journal);
  // The text telling the user what Scan did; empty when it did nothing.
  static std::string Message(const Result& result);
};
