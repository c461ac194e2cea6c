// PendingFiles: where the program notes a file it makes on the way to a
// finished one (a tagged copy under a temporary name, a cut being written)
// before the file's name can be left behind by a kill, and drops the note once
// the name is gone or the file finished, so the start-up repair removes what
// a kill left (RecordingJournal, RecordingRecovery). The program installs one
// at start-up; with none installed (tests of the layers below), nothing is
// noted. A note that cannot be written costs only that clean-up, so it never
// fails the work. Implementations take calls from any thread.
#pragma once

#include <string>

class PendingFiles {
 public:
  virtual ~PendingFiles() = default;
  // `path` names, or is about to name, the regular file open at `fd`.
  virtual void Note(const std::string& path, int fd) = 0;
  // `path` is gone or finished: its note goes.
  virtual void Drop(const std::string& path) = 0;

  // The one the program uses from now on (not owned; nullptr: none).
  static void Install(PendingFiles* pending);
  // Forwarded to the installed one, if any.
  static void NoteFile(const std::string& path, int fd);
  static void DropFile(const std::string& path);
};
