#include "encoding/PendingFiles.h"

#include <atomic>

namespace {
std::atomic<PendingFiles*> installed{nullptr};
}  // namespace

void PendingFiles::Install(PendingFiles* pending) { installed.store(pending); }

void PendingFiles::NoteFile(const std::string& path, int fd) {
  if (PendingFiles* pending = installed.load()) pending->Note(path, fd);
}

void PendingFiles::DropFile(const std::string& path) {
  if (PendingFiles* pending = installed.load()) pending->Drop(path);
}
