#include "encoding/RecordingIdentity.h"

#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <array>
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

bool IsDigest(std::string_view text) {
  return text.size() == kDigestLength &&
         text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::optional<RecordingIdentity> RecordingIdentity::Of(int fd) {
  const auto file = FileIdentity::Of(fd);
  if (!file) return std::nullopt;
  const auto container = ContainerOf(fd);
  if (!container) return std::nullopt;
  const auto header = FixedHeaderBytes(fd, *container);
  if (header.empty()) return std::nullopt;
  RecordingIdentity identity(*file);
  identity.container_ = *container;
  const QByteArray bytes(reinterpret_cast<const char*>(header.data()), static_cast<qsizetype>(header.size()));
  identity.digest_ = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
  return identity;
}

std::string RecordingIdentity::ToText() const {
  std::string text = file_.ToText();
  for (const auto& [container, name] : kContainerNames) {
    if (container == container_) text += ' ' + std::string(name) + '-' + digest_;
  }
  return text;
}

std::optional<RecordingIdentity> RecordingIdentity::FromText(std::string_view text) {
  // The file's three fields, then "<container>-<digest>".
  const size_t space = text.rfind(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const auto file = FileIdentity::FromText(text.substr(0, space));
  if (!file) return std::nullopt;
  const std::string_view last = text.substr(space + 1);
  const size_t dash = last.find('-');
  const std::string_view name = last.substr(0, dash);
  const std::string_view digest = dash == std::string_view::npos ? std::string_view() : last.substr(dash + 1);
  if (!IsDigest(digest)) return std::nullopt;
  for (const auto& [known, knownName] : kContainerNames) {
    if (knownName != name) continue;
    RecordingIdentity identity(*file);
    identity.container_ = known;
    identity.digest_ = digest;
    return identity;
  }
  return std::nullopt;
}
