#include "common/DiskSpace.h"

#include <sys/statvfs.h>

std::optional<uint64_t> DiskSpace::AvailableBytes(const std::string& path) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}
