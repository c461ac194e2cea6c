// FileRecord: the output file of a recording on POSIX calls. Writes are reported
// exactly: a short write (disk full, file size limit) returns the bytes that did
// reach the file and keeps the errno text, never a silent success.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/TargetRules.h"

class FileRecord {
 public:
  FileRecord() = default;
  ~FileRecord();  // closes
  FileRecord(const FileRecord&) = delete;
  FileRecord& operator=(const FileRecord&) = delete;

  enum class OpenResult { Opened, HoldsData, Failed };

  // Opens `path` for writing at offset 0, creating it when missing. What is
  // found there is judged on the opened descriptor itself (fstat), so a file
  // that changes between a check and the open cannot slip through: a regular
  // file holding bytes is emptied only when `rules` allow replacing data, else
  // HoldsData; a link is refused as HoldsData when `rules` forbid following
  // links; a file another open file holds the lock of (a running recording)
  // counts as HoldsData too; anything but a regular file or a character device
  // (a folder, a pipe) fails. Holds an exclusive advisory lock (flock) on the
  // file until Close. On HoldsData and Failed the record stays closed and
  // LastError() says why.
  OpenResult Open(const std::string& path, TargetRules rules);
  // Open with the default rules (replaces an existing file); true when opened.
  bool Open(const std::string& path) { return Open(path, TargetRules{}) == OpenResult::Opened; }
  void Close();  // no-op when closed; handle becomes -1, path empty
  // For a file that never received a recording: closes it and leaves the path
  // as it was before Open, as far as that is ours to restore: a file Open
  // created is removed (only while the path still names it), an existing one
  // stays empty. False when closed or when the removal failed.
  bool Discard();
  bool IsOpen() const { return handle_ != -1; }
  int handle() const { return handle_; }
  const std::string& path() const { return path_; }

  // Appends `count` bytes at the current position. Returns the number of bytes
  // written: `count` on success, fewer on a short write (then LastError() says
  // why), -1 when nothing could be written, 0 when closed.
  int64_t Write(const void* data, int64_t count);
  // Writes at `offset` without moving the current position (header refresh).
  // True when all bytes were written.
  bool WriteAt(int64_t offset, const void* data, int64_t count);
  // Cuts the file to `length` bytes and moves the position there (drops a
  // partially written block).
  bool Truncate(int64_t length);
  // Forces the written bytes and the file length to the disk (fdatasync), so a
  // power cut keeps what was written so far. False when closed or on failure.
  bool Sync();

  int64_t Position() const;  // -1 when closed
  int64_t Length() const;    // -1 when closed
  const std::string& LastError() const { return lastError_; }

 private:
  void NoteError(const char* call);
  // The opened descriptor's file judged by `rules`; closes it unless Opened.
  OpenResult Judge(int fd, TargetRules rules);
  bool StillNamesOpenFile() const;

  int handle_ = -1;
  bool created_ = false;  // this Open created the file
  std::string path_;
  std::string lastError_;
};
