#include "encoding/RecordingIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "encoding/FlacFileRepair.h"
#include "encoding/OggMpegFile.h"
#include "encoding/WavFileRepair.h"

namespace {

using Container = RecordingIdentity::Container;

constexpr std::array<std::pair<Container, std::string_view>, 4> kContainerNames = {
    {{Container::Wave, "wav"}, {Container::Flac, "flac"}, {Container::Ogg, "ogg"}, {Container::Mpeg, "mp3"}}};
constexpr size_t kDigestLength = 64;

std::optional<Container> ContainerOf(int fd) {
  std::array<char, 4> magic{};
  if (::pread(fd, magic.data(), magic.size(), 0) != static_cast<ssize_t>(magic.size())) return std::nullopt;
  const std::string_view start(magic.data(), magic.size());
  if (start == "RIFF") return Container::Wave;
  if (start == "fLaC") return Container::Flac;
  if (start == "OggS") return Container::Ogg;
  if (static_cast<uint8_t>(magic[0]) == 0xFF) return Container::Mpeg;
  return std::nullopt;
}

std::vector<uint8_t> FixedHeaderBytes(int fd, Container container) {
  switch (container) {
    case Container::Wave: return WavFileRepair::FixedHeaderBytes(fd);
    case Container::Flac: return FlacFileRepair::FixedHeaderBytes(fd);
    case Container::Ogg:
    case Container::Mpeg: return OggMpegFile::FixedHeaderBytes(fd);
  }
  return {};
}

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

bool IsDigest(std::string_view text) {
  return text.size() == kDigestLength &&
         text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::optional<RecordingIdentity> RecordingIdentity::Of(int fd) {
  struct statx status {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_BTIME, &status) != 0 ||
      !S_ISREG(status.stx_mode)) {
    return std::nullopt;
  }
  const auto container = ContainerOf(fd);
  if (!container) return std::nullopt;
  const auto header = FixedHeaderBytes(fd, *container);
  if (header.empty()) return std::nullopt;
  RecordingIdentity identity;
  identity.device_ = makedev(status.stx_dev_major, status.stx_dev_minor);
  identity.inode_ = status.stx_ino;
  if ((status.stx_mask & STATX_BTIME) != 0) identity.birth_ = Birth{status.stx_btime.tv_sec, status.stx_btime.tv_nsec};
  identity.container_ = *container;
  const QByteArray bytes(reinterpret_cast<const char*>(header.data()), static_cast<qsizetype>(header.size()));
  identity.digest_ = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
  return identity;
}

std::string RecordingIdentity::ToText() const {
  std::string text = std::to_string(device_) + ' ' + std::to_string(inode_) + ' ';
  text += birth_ ? std::to_string(birth_->seconds) + '.' + std::to_string(birth_->nanoseconds) : "-";
  for (const auto& [container, name] : kContainerNames) {
    if (container == container_) text += ' ' + std::string(name) + '-' + digest_;
  }
  return text;
}

std::optional<RecordingIdentity> RecordingIdentity::FromText(std::string_view text) {
  std::array<std::string_view, 4> fields;
  RecordingIdentity identity;
  if (!SplitFields(text, fields) || !ParseNumber(fields[0], identity.device_) ||
      !ParseNumber(fields[1], identity.inode_)) {
    return std::nullopt;
  }
  if (fields[2] != "-") {
    const size_t dot = fields[2].find('.');
    Birth birth;
    if (dot == std::string_view::npos || !ParseNumber(fields[2].substr(0, dot), birth.seconds) ||
        !ParseNumber(fields[2].substr(dot + 1), birth.nanoseconds) || birth.nanoseconds >= 1000000000) {
      return std::nullopt;
    }
    identity.birth_ = birth;
  }
  const size_t dash = fields[3].find('-');
  const std::string_view name = fields[3].substr(0, dash);
  const std::string_view digest = dash == std::string_view::npos ? std::string_view() : fields[3].substr(dash + 1);
  if (!IsDigest(digest)) return std::nullopt;
  for (const auto& [container, known] : kContainerNames) {
    if (known != name) continue;
    identity.container_ = container;
    identity.digest_ = digest;
    return identity;
  }
  return std::nullopt;
}
