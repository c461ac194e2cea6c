#include "encoding/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <charconv>

namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Splits `text` at single spaces into exactly N non-empty fields.
template <size_t N>
bool SplitFields(std::string_view text, std::array<std::string_view, N>& fields) {
  size_t count = 0;
  for (size_t start = 0; count < N; ++count) {
    const size_t space = text.find(' ', start);
    fields[count] = text.substr(start, space == std::string_view::npos ? space : space - start);
    if (fields[count].empty()) return false;
    if (space == std::string_view::npos) return count + 1 == N;
    start = space + 1;
  }
  return false;
}

}  // namespace

std::optional<FileIdentity> FileIdentity::Of(int fd) {
  struct statx status {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_BTIME, &status) != 0 ||
      !S_ISREG(status.stx_mode)) {
    return std::nullopt;
  }
  FileIdentity identity;
  identity.device_ = makedev(status.stx_dev_major, status.stx_dev_minor);
  identity.inode_ = status.stx_ino;
  if ((status.stx_mask & STATX_BTIME) != 0) identity.birth_ = Birth{status.stx_btime.tv_sec, status.stx_btime.tv_nsec};
  return identity;
}

std::string FileIdentity::ToText() const {
  std::string text = std::to_string(device_) + ' ' + std::to_string(inode_) + ' ';
  return text + (birth_ ? std::to_string(birth_->seconds) + '.' + std::to_string(birth_->nanoseconds) : "-");
}

std::optional<FileIdentity> FileIdentity::FromText(std::string_view text) {
  std::array<std::string_view, 3> fields;
  FileIdentity identity;
  if (!SplitFields(text, fields) || !ParseNumber(fields[0], identity.device_) ||
      !ParseNumber(fields[1], identity.inode_)) {
    return std::nullopt;
  }
  if (fields[2] == "-") return identity;
  const size_t dot = fields[2].find('.');
  Birth birth;
  if (dot == std::string_view::npos || !ParseNumber(fields[2].substr(0, dot), birth.seconds) ||
      !ParseNumber(fields[2].substr(dot + 1), birth.nanoseconds) || birth.nanoseconds >= 1000000000) {
    return std::nullopt;
  }
  identity.birth_ = birth;
  return identity;
}
