// JournalPendingFiles: the program's PendingFiles, kept in the recording
// journal (RecordingJournal's "pending" lines), which the start-up repair
// reads (RecordingRecovery). Any thread.
#pragma once

#include "encoding/PendingFiles.h"

class JournalPendingFiles : public PendingFiles {
 public:
  void Note(const std::string& path, int fd) override;
  void Drop(const std::string& path) override;
};
