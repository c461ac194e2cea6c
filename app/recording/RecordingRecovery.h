// RecordingRecovery: the start-up repair of recordings this program left
// unfinished (killed process, crash, power cut). Only files named in the
// RecordingJournal are looked at, and only those still provably the file the
// recording opened (RecordingIdentity: same inode and birth, same header);
// any other entry leaves the journal and its file stays as it is. Then
// WavFileRepair (WAV sizes) and FlacFileRepair (FLAC total length) mend those
// that provably are cut-off recordings; an Ogg Opus or MP3 file, readable as
// far as it was written, is left as it is, unless it holds no audio at all
// (killed before its first page or frame, see OggMpegFile): then it is
// removed. A pending file (a tagged copy under its temporary name, a cut being
// written) still the very file noted is removed: the take it came from is
// whole. The user is told which recordings were recovered or removed. Entries that
// are settled leave the journal; a file another running recording holds, or
// one that could not be written, stays for the next start.
#pragma once

#include <QStringList>
#include <string>

class RecordingJournal;

class RecordingRecovery {
 public:
  struct Result {
    QStringList recovered;     // names (RecordingJournal::Entry::name) of files whose header was mended
    QStringList removed;       // names of files of ours that held no audio, now deleted
    QStringList discarded;     // names of pending files a kill left, now deleted (not shown)
    QStringList failed;        // "name: reason" of files that needed mending but could not be written
    std::string journalError;  // the journal could not be read or rewritten (user's message)
    bool Empty() const { return recovered.isEmpty() && removed.isEmpty() && failed.isEmpty() && journalError.empty(); }
  };

  // Repairs what `journal` names and settles its entries.
  static Result Scan(const RecordingJournal& journal);
  // The text telling the user what Scan did; empty when it did nothing.
  static std::string Message(const Result& result);
};
