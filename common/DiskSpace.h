// DiskSpace: free room on the file system that holds a folder, for the checks
// that keep a recording from running into a full disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class DiskSpace {
 public:
  // Bytes an unprivileged writer may still use below `path` (a file or folder);
  // nullopt when the file system cannot be asked.
  static std::optional<uint64_t> AvailableBytes(const std::string& path);
};
