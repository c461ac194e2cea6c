// RepairTarget: a file the start-up repair looks at, opened so that nothing but
// a regular file is ever opened: lstat first (a link, FIFO, device or folder in
// its place is refused unopened), then open with O_NOFOLLOW|O_NONBLOCK, and
// fstat on the descriptor must show the same regular file. Read-write where
// allowed, else read-only with the reason kept: a consistent read-only file is
// still examined, a stale one reported with the system's words.
#pragma once

#include <cstdint>
#include <string>

class RepairTarget {
 public:
  enum class Access { ReadOnly, ReadWriteIfAllowed };
  enum class OpenResult {
    Opened,
    NotAFile,  // missing, a link, or anything but a regular file (left alone)
    Failed,    // could not be looked at; Error() says why
  };

  RepairTarget() = default;
  ~RepairTarget();
  RepairTarget(const RepairTarget&) = delete;
  RepairTarget& operator=(const RepairTarget&) = delete;

  OpenResult Open(const std::string& path, Access access = Access::ReadWriteIfAllowed);
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int64_t Length() const { return length_; }  // at Open
  bool Writable() const { return writeError_.empty(); }
  // Why the file is open read-only ("open: <reason>"); empty when writable.
  const std::string& WriteError() const { return writeError_; }
  // Why Open failed ("<call>: <reason>").
  const std::string& Error() const { return error_; }

  // True when a running recording holds the file's lock (FileRecord's flock);
  // otherwise the lock is now this target's until it closes.
  bool HeldByRecording() const;
  // Removes the file while its path still names the opened file; on failure
  // `reason` receives the system's words.
  bool Remove(std::string& reason) const;

 private:
  OpenResult Fail(const char* call);
  void Close();

  std::string path_;
  int fd_ = -1;
  int64_t length_ = 0;
  std::string writeError_;
  std::string error_;
};
