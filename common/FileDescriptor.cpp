#include "common/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) Reset(std::exchange(other.fd_, -1));
  return *this;
}

void FileDescriptor::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool FileDescriptor::WriteAll(int fd, const void* data, size_t size, int64_t offset) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, bytes, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
    offset += written;
  }
  return true;
}

std::string FileDescriptor::SystemError(const char* call) { return std::string(call) + ": " + std::strerror(errno); }
