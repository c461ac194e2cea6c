// FileDescriptor: an owned POSIX descriptor (closed with its owner) and the
// few whole-buffer operations done on it, failures in the
// system's words ("<call>: <strerror>").
#pragma once

#include <cstdint>
#include <string>
#include <utility>

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset(int fd = -1);

  // Writes all `size` bytes at `offset` (ENOSPC for a write that makes no progress).
  bool WriteAll(const void* data, size_t size, int64_t offset) const { return WriteAll(fd_, data, size, offset); }
  static bool WriteAll(int fd, const void* data, size_t size, int64_t offset);
  // "<call>: <strerror(errno)>"
  static std::string SystemError(const char* call);

 private:
  int fd_;
};
