#include "encoding/FileRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FileRecord::~FileRecord() { Close(); }

bool FileRecord::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd == -1) {
    NoteError("open");
    return false;
  }
  // Held while the file is open: the start-up repair of any copy of the program
  // leaves a locked file alone. Only a lock held elsewhere refuses the file; on
  // file systems without locks the recording goes on unlocked.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    NoteError("flock");
    ::close(fd);
    return false;
  }
  handle_ = fd;
  path_ = path;
  return true;
}

void FileRecord::Close() {
  if (handle_ == -1) return;
  if (::close(handle_) != 0) NoteError("close");
  handle_ = -1;
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
