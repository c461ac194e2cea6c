#include "app/recording/JournalPendingFiles.h"

#include "app/recording/RecordingJournal.h"

void JournalPendingFiles::Note(const std::string& path, int fd) { RecordingJournal().BeginPending(path, fd); }

void JournalPendingFiles::Drop(const std::string& path) { RecordingJournal().FinishPending(path); }
