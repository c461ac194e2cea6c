#include "tagging/TakeMetadataWriter.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "tagging/AtomicReplacement.h"
#include "tagging/LabelFile.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TagLibTagger.h"
#include "tagging/WavMetadataAppender.h"
#include "tagging/WavMetadataChunks.h"
#include "tagging/WavMetadataReader.h"

namespace {

void FillTextDefaults(const std::string& path, TakeMetadata& metadata) {
  if (metadata.title.empty()) metadata.title = MetadataTexts::TitleFromPath(path);
  if (metadata.software.empty()) metadata.software = MetadataTexts::ProgramName();
}

void FillDefaults(const std::string& path, TakeMetadata& metadata) {
  FillTextDefaults(path, metadata);
  std::stable_sort(metadata.markers.begin(), metadata.markers.end(),
                   [](const auto& a, const auto& b) { return a.frame < b.frame; });
}

// `tag` works on a copy of the file that replaces it when done.
template <typename Tag>
std::string OnCopy(const std::string& path, Tag tag) {
  AtomicReplacement copy;
  if (std::string error = copy.OpenCopyOf(path); !error.empty()) return error;
  if (std::string error = tag(copy.fd()); !error.empty()) return error;
  return copy.Commit();
}

std::string TagCompressed(const std::string& path, EncoderSelection::FileType type, int32_t rate,
                          const TakeMetadata& metadata) {
  return OnCopy(path, [&](int fd) { return TagLibTagger::Tag(fd, type, rate, metadata); });
}

// The file's own markers and loudness with the new texts.
std::string RetagWav(const std::string& path, int32_t rate, const TakeMetadata& texts) {
  return WavMetadataAppender::Replace(path, [&](int fd, std::vector<uint8_t>& chunks) {
    TakeMetadata metadata;
    if (std::string error = WavMetadataReader::Read(fd, metadata); !error.empty()) return error;
    metadata.title = texts.title;
    metadata.start = texts.start;
    metadata.software = texts.software;
    metadata.comment = texts.comment;
    metadata.language = texts.language;
    if (std::string invalid = TakeMetadataWriter::Invalid(metadata, rate); !invalid.empty()) return invalid;
    FillDefaults(path, metadata);
    chunks = WavMetadataChunks::Build(metadata, rate);
    return std::string();
  });
}

// WAV cue points hold 32-bit frame numbers, which every frame of a WAV file
// (at most 4 GiB) fits; the other types keep times in milliseconds.
std::string OutsideWavCuePoints(const TakeMetadata& metadata) {
  const bool outside = std::any_of(metadata.markers.begin(), metadata.markers.end(), [](const auto& marker) {
    return marker.frame > std::numeric_limits<uint32_t>::max();
  });
  return outside ? "marker outside the file" : "";
}

std::string TagFile(const std::string& path, EncoderSelection::FileType type, int32_t rate,
                    const TakeMetadata& metadata) {
  if (type == EncoderSelection::TYPE_WAV) {
    if (std::string outside = OutsideWavCuePoints(metadata); !outside.empty()) return outside;
    return WavMetadataAppender::Append(path, WavMetadataChunks::Build(metadata, rate));
  }
  return TagCompressed(path, type, rate, metadata);
}

}  // namespace

std::string TakeMetadataWriter::Invalid(const TakeMetadata& metadata, int32_t rate) {
  if (rate <= 0) return "invalid sample rate";
  if (metadata.markers.size() > kMaxMarkers) return "more than 999 markers";
  if (std::max({metadata.title.size(), metadata.comment.size(), metadata.software.size()}) > kMaxTextBytes) {
    return "text too long";
  }
  for (const auto& marker : metadata.markers) {
    if (marker.frame < 0) return "marker outside the file";
    if (marker.name.size() > kMaxMarkerNameBytes) return "marker name too long";
  }
  return {};
}

TakeMetadataWriter::Result TakeMetadataWriter::Retag(const std::string& path, EncoderSelection::FileType type,
                                                     int32_t rate, TakeMetadata texts) {
  texts.markers.clear();
  texts.loudness.reset();
  if (std::string invalid = Invalid(texts, rate); !invalid.empty()) return {invalid};
  FillTextDefaults(path, texts);
  const std::string error = type == EncoderSelection::TYPE_WAV
                                ? RetagWav(path, rate, texts)
                                : OnCopy(path, [&](int fd) { return TagLibTagger::Retag(fd, type, texts); });
  return {error.empty() ? error : path + ": " + error};
}

TakeMetadataWriter::Result TakeMetadataWriter::Write(const std::string& path, EncoderSelection::FileType type,
                                                     int32_t rate, TakeMetadata metadata) {
  if (std::string invalid = Invalid(metadata, rate); !invalid.empty()) return {invalid};
  FillDefaults(path, metadata);
  Result result;
  if (std::string error = TagFile(path, type, rate, metadata); !error.empty()) result.reason = path + ": " + error;
  if (metadata.markers.empty()) return result;
  if (std::string error = LabelFile::Write(path, metadata.markers, rate); !error.empty()) {
    result.reason += (result.reason.empty() ? "" : "; ") + error;
  }
  return result;
}
