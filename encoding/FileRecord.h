// FileRecord: the output file of a recording on POSIX calls. Writes are reported
// exactly: a short write (disk full, file size limit) returns the bytes that did
// reach the file and keeps the errno text, never a silent success.
#pragma once

#include <cstdint>
#include <string>

class FileRecord {
 public:
  FileRecord() = default;
  ~FileRecord();  // closes
  FileRecord(const FileRecord&) = delete;
  FileRecord& operator=(const FileRecord&) = delete;

  // Creates `path` for writing, replacing an existing file (truncated to 0 bytes).
  // Holds an exclusive advisory lock (flock) on it until Close. False when the
  // file cannot be created or another open file holds its lock; the record
  // stays closed.
  bool Open(const std::string& path);
  void Close();  // no-op when closed; handle becomes -1, path empty
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

  int handle_ = -1;
  std::string path_;
  std::string lastError_;
};
