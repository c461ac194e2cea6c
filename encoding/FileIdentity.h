// FileIdentity: which file a descriptor leads to, as the start-up repair
// compares it later: device, inode, and birth time where the file system
// keeps one (an inode used again by a later file has a later birth).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class FileIdentity {
 public:
  // The identity of the regular file open at `fd`; nullopt for anything else.
  static std::optional<FileIdentity> Of(int fd);

  // "<device> <inode> <birth>": three fields without spaces; birth
  // "<seconds>.<nanoseconds>", or "-" where none is kept.
  std::string ToText() const;
  static std::optional<FileIdentity> FromText(std::string_view text);

  bool operator==(const FileIdentity&) const = default;

 private:
  struct Birth {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    bool operator==(const Birth&) const = default;
  };

  uint64_t device_ = 0;
  uint64_t inode_ = 0;
  std::optional<Birth> birth_;
};
