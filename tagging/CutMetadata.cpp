#include "tagging/CutMetadata.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/FileDescriptor.h"
#include "common/FileTypes.h"
#include "tagging/TagLibMetadataReader.h"
#include "tagging/WavMetadataReader.h"

TakeMetadata CutMetadata::Kept(TakeMetadata take, const TrimRange& kept,
                               std::optional<TakeMetadata::Loudness> loudness) {
  std::erase_if(take.markers, [&](const auto& marker) { return marker.frame < kept.first || marker.frame >= kept.end; });
  for (auto& marker : take.markers) marker.frame -= kept.first;
  take.loudness = loudness;
  return take;
}

EncoderSelection::FileType CutMetadata::TypeOfPath(const std::string& path) {
  return FileTypes::OfPath(path).value_or(FileTypes::TYPE_WAV);
}

std::string CutMetadata::Read(const std::string& take, EncoderSelection::FileType type, int32_t rate,
                              TakeMetadata& metadata) {
  if (type == EncoderSelection::TYPE_WAV) return WavMetadataReader::Read(take, metadata);
  const FileDescriptor file(::open(take.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) return FileDescriptor::SystemError("open");
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return FileDescriptor::SystemError("fstat");
  if (!S_ISREG(status.st_mode)) return "not a regular file";
  return TagLibMetadataReader::Read(file.get(), type, rate, metadata);
}

TakeMetadataWriter::Result CutMetadata::Carry(const std::string& take, const std::string& cut, const TrimRange& kept,
                                              std::optional<TakeMetadata::Loudness> loudness) {
  const EncoderSelection::FileType type = TypeOfPath(take);
  TakeMetadata metadata;
  if (std::string error = Read(take, type, kept.rate, metadata); !error.empty()) return {take + ": " + error};
  if (metadata.title.empty() && metadata.software.empty() && metadata.markers.empty()) return {};
  return TakeMetadataWriter::Write(cut, type, kept.rate, Kept(std::move(metadata), kept, loudness));
}
