#include "tagging/WavMetadataReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <map>
#include <vector>

#include "common/FileDescriptor.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

constexpr int kMostChunks = 64;  // ours have at most fmt, data and five tag chunks
constexpr size_t kCueEntryBytes = 24;

using Bytes = std::vector<uint8_t>;

uint32_t U32(const uint8_t* at) {
  uint32_t value = 0;
  std::memcpy(&value, at, 4);
  return value;
}

// A zero-terminated text of at most `size` bytes, cut to `limit`.
std::string Text(const uint8_t* at, size_t size, size_t limit) {
  const auto* end = std::find(at, at + size, uint8_t{0});
  return MetadataTexts::Utf8Prefix(std::string(at, end), limit);
}

// Calls `visit(id, body, size)` for each whole sub-chunk of `body`.
template <typename Visit>
void SubChunks(const Bytes& body, size_t from, Visit visit) {
  for (size_t at = from; at + 8 <= body.size();) {
    const uint32_t size = U32(&body[at + 4]);
    if (size > body.size() - at - 8) return;
    visit(std::string(body.begin() + at, body.begin() + at + 4), &body[at + 8], size_t{size});
    at += 8 + size + size % 2;
  }
}

struct Found {
  std::map<uint32_t, int64_t> cueFrames;  // cue id -> frame
  std::map<uint32_t, std::string> labels;  // cue id -> name
};

void ReadInfo(const Bytes& body, TakeMetadata& metadata) {
  SubChunks(body, 4, [&](const std::string& id, const uint8_t* data, size_t size) {
    const std::string text = Text(data, size, TakeMetadataWriter::kMaxTextBytes);
    if (id == "INAM") metadata.title = text;
    if (id == "ISFT") metadata.software = text;
    if (id == "ICMT") metadata.comment = text;
    if (id == "ICRD") {
      if (auto when = MetadataTexts::ParseLocalDateTime(text)) metadata.start = *when;
    }
  });
}

void ReadCue(const Bytes& body, Found& found) {
  if (body.size() < 4) return;
  const size_t count = std::min<size_t>(U32(body.data()), (body.size() - 4) / kCueEntryBytes);
  for (size_t i = 0; i < count && found.cueFrames.size() < TakeMetadataWriter::kMaxMarkers; ++i) {
    const uint8_t* entry = &body[4 + i * kCueEntryBytes];
    found.cueFrames.emplace(U32(entry), U32(entry + 20));  // id, sample offset
  }
}

void ReadLabels(const Bytes& body, Found& found) {
  SubChunks(body, 4, [&](const std::string& id, const uint8_t* data, size_t size) {
    if (id != "labl" || size < 4) return;
    found.labels[U32(data)] = Text(data + 4, size - 4, TakeMetadataWriter::kMaxMarkerNameBytes);
  });
}

// The body of the chunk at `offset`, when it is one of the tag chunks.
std::string ReadBody(int fd, int64_t offset, uint32_t size, Bytes& body) {
  body.resize(size);
  const ssize_t got = ::pread(fd, body.data(), size, offset);
  if (got < 0) return FileDescriptor::SystemError("pread");
  body.resize(static_cast<size_t>(got));
  return {};
}

// The loudness fields of a version 2 "bext" (hundredths; 0x7FFF: not set).
void ReadBext(const Bytes& body, TakeMetadata& metadata) {
  constexpr size_t kVersionAt = 346;
  constexpr size_t kLoudnessAt = 412;
  uint16_t version = 0;
  if (body.size() < kLoudnessAt + 10) return;
  std::memcpy(&version, &body[kVersionAt], 2);
  if (version < 2) return;
  double values[5];
  for (size_t i = 0; i < 5; ++i) {
    int16_t hundredths = 0;
    std::memcpy(&hundredths, &body[kLoudnessAt + 2 * i], 2);
    values[i] = hundredths == 0x7FFF ? std::numeric_limits<double>::quiet_NaN() : hundredths / 100.0;
  }
  const auto optional = [](double value) { return std::isnan(value) ? std::nullopt : std::optional<double>(value); };
  metadata.loudness = TakeMetadata::Loudness{.integratedLufs = values[0], .rangeLu = values[1],
                                             .truePeakDbtp = values[2], .maxMomentaryLufs = optional(values[3]),
                                             .maxShortTermLufs = optional(values[4])};
}

bool IsTagChunk(const std::string& id) { return id == "LIST" || id == "cue " || id == "bext"; }

void Interpret(const std::string& id, const Bytes& body, TakeMetadata& metadata, Found& found) {
  const std::string type = body.size() >= 4 ? std::string(body.begin(), body.begin() + 4) : "";
  if (id == "cue ") ReadCue(body, found);
  if (id == "bext") ReadBext(body, metadata);
  if (id == "LIST" && type == "INFO") ReadInfo(body, metadata);
  if (id == "LIST" && type == "adtl") ReadLabels(body, found);
}

}  // namespace

std::string WavMetadataReader::Read(const std::string& path, TakeMetadata& metadata) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) return FileDescriptor::SystemError("open");
  return Read(file.get(), metadata);
}

std::string WavMetadataReader::Read(int fd, TakeMetadata& metadata) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return FileDescriptor::SystemError("fstat");
  if (!S_ISREG(status.st_mode)) return "not a regular file";
  uint8_t header[12];
  if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
      std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
    return "not a WAV file";
  }
  Found found;
  Bytes body;
  int64_t offset = 12;
  for (int chunk = 0; chunk < kMostChunks && offset + 8 <= status.st_size; ++chunk) {
    uint8_t head[8];
    if (::pread(fd, head, 8, offset) != 8) return FileDescriptor::SystemError("pread");
    const std::string id(head, head + 4);
    const uint32_t size = U32(head + 4);
    if (IsTagChunk(id) && size <= TakeMetadataWriter::kMaxWavTagBytes) {
      if (std::string error = ReadBody(fd, offset + 8, size, body); !error.empty()) return error;
      Interpret(id, body, metadata, found);
    }
    offset += 8 + int64_t{size} + size % 2;
  }
  for (const auto& [id, frame] : found.cueFrames) {
    const auto label = found.labels.find(id);
    metadata.markers.push_back({frame, label == found.labels.end() ? std::string() : label->second});
  }
  return {};
}
