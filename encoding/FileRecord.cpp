#include "encoding/FileRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FileRecord::~FileRecord() { Close(); }

FileRecord::OpenResult FileRecord::Open(const std::string& path, TargetRules rules) {
  Close();
  if (path.empty()) {
    lastError_ = "open: no file name";
    return OpenResult::Failed;
  }
  // Never O_TRUNC: whether existing bytes may go is decided after the open, on
  // what was actually opened. O_NONBLOCK keeps a named pipe from blocking the open.
  const int flags = O_WRONLY | O_CLOEXEC | O_NONBLOCK | (rules.followLinks ? 0 : O_NOFOLLOW);
  int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
  const bool created = fd != -1;
  if (!created && errno == EEXIST) fd = ::open(path.c_str(), flags);
  if (fd == -1) {
    const bool link = errno == ELOOP && !rules.followLinks;
    NoteError("open");
    return link ? OpenResult::HoldsData : OpenResult::Failed;
  }
  // Held while the file is open: the start-up repair of any copy of the program
  // leaves a locked file alone. Taken before anything is judged or emptied: a
  // lock held elsewhere is a running recording, never touched. On file systems
  // without locks the recording goes on unlocked.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    NoteError("flock");
    ::close(fd);
    return OpenResult::HoldsData;
  }
  const OpenResult result = Judge(fd, rules);
  if (result != OpenResult::Opened) return result;
  handle_ = fd;
  path_ = path;
  created_ = created;
  return result;
}

FileRecord::OpenResult FileRecord::Judge(int fd, TargetRules rules) {
  struct stat st{};
  OpenResult result = OpenResult::Opened;
  if (::fstat(fd, &st) != 0) {
    NoteError("fstat");
    result = OpenResult::Failed;
  } else if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) {
    lastError_ = "open: not a regular file";
    result = OpenResult::Failed;
  } else if (S_ISREG(st.st_mode) && st.st_size > 0 && !rules.replaceData) {
    lastError_ = "open: the file already holds " + std::to_string(st.st_size) + " bytes";
    result = OpenResult::HoldsData;
  } else if (S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
    NoteError("ftruncate");
    result = OpenResult::Failed;
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    NoteError("fcntl");
    result = OpenResult::Failed;
  }
  if (result != OpenResult::Opened) ::close(fd);
  return result;
}

bool FileRecord::Discard() {
  if (handle_ == -1) return false;
  bool done = Truncate(0);
  // Removed by name only while the name still leads to the file we created.
  if (created_ && StillNamesOpenFile() && ::unlink(path_.c_str()) != 0) {
    NoteError("unlink");
    done = false;
  }
  Close();
  return done;
}

bool FileRecord::StillNamesOpenFile() const {
  struct stat named{};
  struct stat opened{};
  return ::lstat(path_.c_str(), &named) == 0 && ::fstat(handle_, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

void FileRecord::Close() {
  if (handle_ == -1) return;
  if (::close(handle_) != 0) NoteError("close");
  handle_ = -1;
  created_ = false;
  path_.clear();
}

int64_t FileRecord::Write(const void* data, int64_t count) {
  if (handle_ == -1) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle_, bytes + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      NoteError("write");
      return done == 0 ? -1 : done;
    }
    if (n == 0) {
      lastError_ = "write: no progress";
      break;
    }
    done += n;
  }
  return done;
}

bool FileRecord::WriteAt(int64_t offset, const void* data, int64_t count) {
  if (handle_ == -1) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(handle_, bytes + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteError("pwrite");
      return false;
    }
    done += n;
  }
  return true;
}

bool FileRecord::Truncate(int64_t length) {
  if (handle_ == -1) return false;
  if (::ftruncate(handle_, length) != 0 || ::lseek(handle_, length, SEEK_SET) < 0) {
    NoteError("ftruncate");
    return false;
  }
  return true;
}

bool FileRecord::Sync() {
  if (handle_ == -1) return false;
  if (::fdatasync(handle_) != 0) {
    NoteError("fdatasync");
    return false;
  }
  return true;
}

int64_t FileRecord::Position() const {
  if (handle_ == -1) return -1;
  return ::lseek(handle_, 0, SEEK_CUR);
}

int64_t FileRecord::Length() const {
  if (handle_ == -1) return -1;
  struct stat st{};
  if (::fstat(handle_, &st) != 0) return -1;
  return st.st_size;
}

void FileRecord::NoteError(const char* call) { lastError_ = std::string(call) + ": " + std::strerror(errno); }
