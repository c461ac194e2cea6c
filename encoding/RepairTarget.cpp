#include "encoding/RepairTarget.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string SystemError(const char* call) { return std::string(call) + ": " + std::strerror(errno); }

// Gone, or replaced by a link or a folder: nothing of ours to look at.
bool NotOurs(int error) { return error == ENOENT || error == ELOOP || error == ENOTDIR || error == EISDIR; }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

int OpenNoFollow(const std::string& path, int flags) {
  // O_NONBLOCK: a FIFO swapped in after the lstat cannot hang the caller.
  return ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

RepairTarget::~RepairTarget() { Close(); }

void RepairTarget::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

RepairTarget::OpenResult RepairTarget::Fail(const char* call) {
  const bool notOurs = NotOurs(errno);
  error_ = SystemError(call);
  Close();
  return notOurs ? OpenResult::NotAFile : OpenResult::Failed;
}

RepairTarget::OpenResult RepairTarget::Open(const std::string& path) {
  Close();
  path_ = path;
  writeError_ = "open: not opened for writing";
  error_.clear();
  // Checked before opening, so no device or FIFO is ever opened.
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0) return Fail("lstat");
  if (!S_ISREG(named.st_mode)) return OpenResult::NotAFile;
  fd_ = OpenNoFollow(path, O_RDONLY);
  if (fd_ < 0) return Fail("open");
  struct stat opened {};
  if (::fstat(fd_, &opened) != 0) return Fail("fstat");
  if (!S_ISREG(opened.st_mode) || !SameFile(named, opened)) {
    Close();
    return OpenResult::NotAFile;  // replaced between the two looks
  }
  length_ = opened.st_size;
  return OpenResult::Opened;
}

bool RepairTarget::OpenForWriting() {
  const int fd = OpenNoFollow(path_, O_RDWR);
  if (fd < 0) {
    writeError_ = SystemError("open");
    return false;
  }
  struct stat writing {};
  struct stat reading {};
  if (::fstat(fd, &writing) != 0 || ::fstat(fd_, &reading) != 0 || !SameFile(writing, reading)) {
    ::close(fd);
    writeError_ = "open: the name no longer leads to the file";
    return false;
  }
  ::close(fd_);
  fd_ = fd;
  writeError_.clear();
  return true;
}

bool RepairTarget::HeldByRecording() const { return ::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK; }

bool RepairTarget::Remove(std::string& reason) const {
  struct stat named {};
  struct stat opened {};
  if (::lstat(path_.c_str(), &named) != 0 || ::fstat(fd_, &opened) != 0 || !SameFile(named, opened)) {
    reason = "unlink: the name no longer leads to the file";
    return false;
  }
  if (::unlink(path_.c_str()) != 0) {
    reason = SystemError("unlink");
    return false;
  }
  return true;
}
