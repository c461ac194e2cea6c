#include "tagging/TakeMetadataWriter.h"

#include <algorithm>
#include <limits>

#include "tagging/AtomicReplacement.h"
#include "tagging/LabelFile.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TagLibTagger.h"
#include "tagging/WavMetadataAppender.h"
#include "tagging/WavMetadataChunks.h"

namespace {

void FillDefaults(const std::string& path, TakeMetadata& metadata) {
  if (metadata.title.empty()) metadata.title = MetadataTexts::TitleFromPath(path);
  if (metadata.software.empty()) metadata.software = MetadataTexts::ProgramName();
  std::stable_sort(metadata.markers.begin(), metadata.markers.end(),
                   [](const auto& a, const auto& b) { return a.frame < b.frame; });
}

std::string TagCompressed(const std::string& path, EncoderSelection::FileType type, int32_t rate,
                          const TakeMetadata& metadata) {
  AtomicReplacement copy;
  if (std::string error = copy.OpenCopyOf(path); !error.empty()) return error;
  if (std::string error = TagLibTagger::Tag(copy.fd(), type, rate, metadata); !error.empty()) return error;
  return copy.Commit();
}

std::string TagFile(const std::string& path, EncoderSelection::FileType type, int32_t rate,
                    const TakeMetadata& metadata) {
  if (type == EncoderSelection::TYPE_WAV) {
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
    // WAV cue points hold 32-bit frame numbers; no file of ours is longer.
    if (marker.frame < 0 || marker.frame > std::numeric_limits<uint32_t>::max()) return "marker outside the file";
    if (marker.name.size() > kMaxMarkerNameBytes) return "marker name too long";
  }
  return {};
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
