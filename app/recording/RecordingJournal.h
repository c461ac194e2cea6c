// RecordingJournal: the recordings in progress, so that the start-up repair
// touches only files this program itself left unfinished. One line per
// recording (UTF-8, LF) in ProgramFolder::JournalFile(): the file's identity
// (RecordingIdentity::ToText) and its full path, with every control byte,
// space and '%' written as "%XX":
//   2049 1835012 1712345678.5 wav-<64 hex digits> /home/user/Music/Tamblin/录音3.wav
// A line is added when a recording has opened its file (numbered or named by
// the user, in any folder) and removed when the file was finished cleanly.
// A file on the way to a finished one (PendingFiles: a tagged copy under its
// temporary name, a cut being written) has a line of its own until it is gone
// or whole: "pending", the file's identity (FileIdentity::ToText), its path:
//   pending 2049 1835013 1712345690.25 /home/user/Music/Tamblin/.录音3.flac.4242.tagging
// Lines of the older format (a bare "录音<n>.<ext>" of the output folder) are
// still read, without an identity: nothing proves such a file ours, so the
// repair leaves it alone and drops the line.
//
// Written atomically (QSaveFile), never through a link or over a non-file.
// Read bounded: the first kMaxBytes, at most kMaxLines lines, at most
// kMaxEntries entries; anything else in the file is ignored. A journal that
// exists but cannot be read is never overwritten. Any thread: the changes of
// one process are made one at a time.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "encoding/FileIdentity.h"
#include "encoding/RecordingIdentity.h"

class RecordingJournal {
 public:
  static constexpr qint64 kMaxBytes = 65536;
  static constexpr int kMaxLines = 256;
  static constexpr int kMaxEntries = 64;

  struct Entry {
    QString path;  // absolute
    QString name;  // as the user is told: the file name in the output folder, else the full path
    std::optional<RecordingIdentity> identity;  // none for a line of the older format
    std::optional<FileIdentity> pending;        // set for a pending file (then no identity)
  };

  struct Entries {
    QList<Entry> list;  // oldest first
    QStringList names;  // the entries' names, in the same order
    std::string error;  // the user's message when the journal cannot be read; empty otherwise
  };

  // The program's journal and output folder (ProgramFolder).
  RecordingJournal();
  RecordingJournal(const QString& journalFile, const QString& outputFolder);

  // `recording` (a path) has just been opened and its header written. A file
  // that is not a regular file (a link, too) or holds no header of ours has
  // nothing to prove it by and is not journalled. Returns the user's message
  // when the journal could not be read or written; empty otherwise.
  std::string Begin(const std::string& recording) const;
  // `recording` was finished: its entry goes unless the file still needs a
  // repair. Cannot fail visibly: a stale entry costs nothing, the next start
  // finds the file consistent and drops it.
  void Finish(const std::string& recording) const;
  // The pending file `path` (see PendingFiles), open at `fd`, is noted; its
  // note goes. Neither fails visibly: a missing note costs only the clean-up.
  void BeginPending(const std::string& path, int fd) const;
  void FinishPending(const std::string& path) const;

  Entries Read() const;
  // Replaces the entries by `entries`; the user's message on failure, else empty.
  std::string Replace(const QList<Entry>& entries) const;
  // The full path of the output folder's file `name`.
  QString PathOf(const QString& name) const;

  // True for "录音<n>." + "wav", "flac", "opus" or "mp3", n a whole number from
  // -32768 to 32767, spelled as the program writes it.
  static bool IsNumberedRecording(const QString& fileName);

 private:
  std::optional<Entry> ParseLine(const QByteArray& line) const;
  Entry MakeEntry(const QString& path, std::optional<RecordingIdentity> identity) const;
  std::optional<Entry> ParsePendingLine(const QByteArray& line) const;
  // Replaces the entry for `path` by `entry` (none: removes it); the user's message on failure.
  std::string Update(const QString& path, std::optional<Entry> entry) const;
  std::string WriteError(const QString& reason) const;

  QString journalFile_;
  QString outputFolder_;
};
