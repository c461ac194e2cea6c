#include "tagging/AtomicReplacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "encoding/PendingFiles.h"

namespace {

using Error = std::string;

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// copy_file_range where the file system offers it (clones or copies in the
// kernel), else plain reads and writes.
Error CopyBytes(int from, const FileDescriptor& to, off_t length) {
  off_t at = 0;
  while (at < length) {
    off_t in = at, out = at;
    const ssize_t copied = ::copy_file_range(from, &in, to.get(), &out, static_cast<size_t>(length - at), 0);
    if (copied > 0) {
      at += copied;
      continue;
    }
    if (copied == 0) return "the file got shorter while being copied";
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      return FileDescriptor::SystemError("copy_file_range");
    }
    std::array<char, 1 << 16> buffer{};
    const ssize_t got = ::pread(from, buffer.data(), buffer.size(), at);
    if (got <= 0) return got == 0 ? "the file got shorter while being copied" : FileDescriptor::SystemError("pread");
    if (!to.WriteAll(buffer.data(), static_cast<size_t>(got), at)) return FileDescriptor::SystemError("pwrite");
    at += got;
  }
  return {};
}

}  // namespace

std::string AtomicReplacement::OpenFolder(const std::string& path) {
  path_ = path;
  const std::filesystem::path location(path);
  name_ = location.filename().string();
  const std::string folder = location.has_parent_path() ? location.parent_path().string() : ".";
  folder_.Reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder_.valid()) return FileDescriptor::SystemError("open folder");
  copy_.Reset(::openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0644));
  if (!copy_.valid()) return FileDescriptor::SystemError("open O_TMPFILE");
  return {};
}

std::string AtomicReplacement::OpenCopyOf(const std::string& path, const Acceptance& accept) {
  if (Error error = OpenFolder(path); !error.empty()) return error;
  original_.Reset(::openat(folder_.get(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!original_.valid()) return FileDescriptor::SystemError("open");
  struct stat status {};
  if (::fstat(original_.get(), &status) != 0) return FileDescriptor::SystemError("fstat");
  if (!S_ISREG(status.st_mode)) return "not a regular file";
  if (::flock(original_.get(), LOCK_EX | LOCK_NB) != 0) return FileDescriptor::SystemError("flock");
  if (accept) {
    if (Error refusal = accept(original_.get()); !refusal.empty()) return refusal;
  }
  originalStatus_ = status;
  return CopyContent();
}

std::string AtomicReplacement::OpenEmpty(const std::string& path) {
  if (Error error = OpenFolder(path); !error.empty()) return error;
  struct stat status {};
  if (::fstatat(folder_.get(), name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    originalStatus_ = status;
  } else if (errno != ENOENT) {
    return FileDescriptor::SystemError("lstat");
  }
  return {};
}

std::string AtomicReplacement::CopyContent() {
  if (Error error = CopyBytes(original_.get(), copy_, originalStatus_->st_size); !error.empty()) return error;
  if (::fchmod(copy_.get(), originalStatus_->st_mode & 07777) != 0) return FileDescriptor::SystemError("fchmod");
  return {};
}

// Something else put in the path's place meanwhile is not ours to replace.
std::string AtomicReplacement::StillTheOriginal() const {
  struct stat now {};
  const bool exists = ::fstatat(folder_.get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (!exists && errno != ENOENT) return FileDescriptor::SystemError("lstat");
  if (exists != originalStatus_.has_value() || (exists && !SameFile(now, *originalStatus_))) {
    return "the file was replaced meanwhile";
  }
  return {};
}

std::string AtomicReplacement::Install() {
  const std::string self = "/proc/self/fd/" + std::to_string(copy_.get());
  if (!originalStatus_) {
    // linkat never replaces: a file that appeared meanwhile stays.
    if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), name_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      return FileDescriptor::SystemError("linkat");
    }
    return {};
  }
  const std::string temporary = "." + name_ + "." + std::to_string(::getpid()) + ".tagging";
  // A kill between the link and the rename leaves the temporary name: noted
  // first, so the start-up repair removes it.
  const std::string temporaryPath = (std::filesystem::path(path_).parent_path() / temporary).string();
  PendingFiles::NoteFile(temporaryPath, copy_.get());
  Error error;
  if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    error = FileDescriptor::SystemError("linkat");
  } else if (::renameat(folder_.get(), temporary.c_str(), folder_.get(), name_.c_str()) != 0) {
    error = FileDescriptor::SystemError("rename");
    ::unlinkat(folder_.get(), temporary.c_str(), 0);
  }
  PendingFiles::DropFile(temporaryPath);
  return error;
}

std::string AtomicReplacement::Commit() {
  if (::fsync(copy_.get()) != 0) return FileDescriptor::SystemError("fsync");
  if (Error error = StillTheOriginal(); !error.empty()) return error;
  if (Error error = Install(); !error.empty()) return error;
  if (::fsync(folder_.get()) != 0) return FileDescriptor::SystemError("fsync folder");
  return {};
}
