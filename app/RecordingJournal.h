// RecordingJournal: the numbered recordings in progress, so that the start-up
// repair touches only files this program itself left unfinished. One file name
// per line ("录音<n>.<ext>" of a recorded file type, UTF-8, LF) in
// ProgramFolder::JournalFile(); a name is
// added when a recording has opened its file and removed when the file was
// finished cleanly.
//
// Written atomically (QSaveFile), never through a link or over a non-file.
// Read bounded: the first kMaxBytes, at most kMaxLines lines, at most
// kMaxEntries names; only names the program writes count (so every entry lies
// in the output folder), anything else in the file is ignored. A journal that
// exists but cannot be read is never overwritten. UI thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

class RecordingJournal {
 public:
  static constexpr qint64 kMaxBytes = 16384;
  static constexpr int kMaxLines = 256;
  static constexpr int kMaxEntries = 64;

  struct Entries {
    QStringList names;  // file names, no folder, oldest first
    std::string error;  // the user's message when the journal cannot be read; empty otherwise
  };

  // The program's journal and output folder (ProgramFolder).
  RecordingJournal();
  RecordingJournal(const QString& journalFile, const QString& outputFolder);

  // `recording` (a full path) has just been opened. Files outside the output
  // folder and other names are not journalled. Returns the user's message
  // when the journal could not be written; empty otherwise.
  std::string Begin(const std::string& recording) const;
  // `recording` was finished: its entry goes unless the file still needs a
  // repair. Cannot fail visibly: a stale entry costs nothing, the next start
  // finds the file consistent and drops it.
  void Finish(const std::string& recording) const;

  Entries Read() const;
  // Replaces the entries by `names`; the user's message on failure, else empty.
  std::string Replace(const QStringList& names) const;
  // The full path of entry `name`.
  QString PathOf(const QString& name) const;

  // True for "录音<n>." + "wav", "flac", "opus" or "mp3", n a whole number from
  // -32768 to 32767, spelled as the program writes it.
  static bool IsNumberedRecording(const QString& fileName);

 private:
  // The entry name of `recording`; empty when it is not a numbered file of the output folder.
  QString EntryName(const std::string& recording) const;
  std::string WriteError(const QString& reason) const;

  QString journalFile_;
  QString outputFolder_;
};
