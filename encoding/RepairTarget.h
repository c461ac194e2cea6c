// RepairTarget: a file the start-up repair looks at, opened so that nothing but
// a regular file is ever opened: lstat first (a link, FIFO, device or folder in
// its place is refused unopened), then open with O_NOFOLLOW|O_NONBLOCK, and
// fstat on the descriptor must show the same regular file. Opened read-only;
// for writing only once the caller has proven it ours (OpenForWriting), and
// where that is refused the reason is kept: a consistent read-only file is
// still examined, a stale one reported with the system's words.
#pragma once

#include <cstdint>
#include <string>

class RepairTarget {
 public:
  enum class OpenResult {
    Opened,
    NotAFile,  // missing, a link, or anything but a regular file (left alone)
    Failed,    // could not be looked at; Error() says why
  };

  RepairTarget() = default;
  ~RepairTarget();
  RepairTarget(const RepairTarget&) = delete;
  RepairTarget& operator=(const RepairTarget&) = delete;

  // Opens `path` for reading.
  OpenResult Open(const std::string& path);
  // Opens the same file for writing in place of the reading descriptor; false
  // when refused or when the path no longer leads to it (WriteError() says
  // why). Before HeldByRecording: the lock belongs to the descriptor.
  bool OpenForWriting();
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int64_t Length() const { return length_; }  // at Open
  bool Writable() const { return writeError_.empty(); }
  // Why the file is not open for writing ("open: <reason>"); empty when it is.
  const std::string& WriteError() const { return writeError_; }
  // Why Open failed ("<call>: <reason>").
  const std::string& Error() const { return error_; }

  // True when a running recording holds the file's lock (FileRecord's flock);
  // otherwise the lock is now this target's until it closes.
  bool HeldByRecording() const;
  // Removes the file while its path still names the opened file; on failure
  // `reason` receives the system's words.
  bool Remove(std::string& reason) const;

  // Opens `path` for `Repair` (WavFileRepair, FlacFileRepair) and runs it on
  // the file: `notAFile` when nothing is there to mend, Failed with the reason
  // when it could not be opened.
  template <typename Repair>
  static typename Repair::Outcome Mend(const std::string& path, std::string* reason,
                                       typename Repair::Outcome notAFile) {
    RepairTarget file;
    switch (file.Open(path)) {
      case OpenResult::Opened:
        file.OpenForWriting();  // where refused, Repair reports why once the file needs a mend
        return Repair::Repair(file, reason);
      case OpenResult::NotAFile: return notAFile;
      case OpenResult::Failed: break;
    }
    if (reason != nullptr) *reason = file.Error();
    return Repair::Outcome::Failed;
  }

 private:
  OpenResult Fail(const char* call);
  void Close();

  std::string path_;
  int fd_ = -1;
  int64_t length_ = 0;
  std::string writeError_;
  std::string error_;
};
