#include "tagging/TagLibMetadataReader.h"

#include <taglib/chapterframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tfilestream.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include "common/FileDescriptor.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

const char* kUnreadable = "the file cannot be read as its type";

std::string Text(const TagLib::String& text, size_t limit) {
  return MetadataTexts::Utf8Prefix(text.to8Bit(true), limit);
}

int64_t FrameAt(int64_t ms, int32_t rate) { return (ms * rate + 500) / 1000; }

void SetStart(const std::string& text, TakeMetadata& metadata) {
  if (auto when = MetadataTexts::ParseLocalDateTime(text)) metadata.start = *when;
}

std::string Field(const TagLib::Ogg::FieldListMap& fields, const std::string& key, size_t limit) {
  const auto found = fields.find(TagLib::String(key));
  return found == fields.end() || found->second.isEmpty() ? "" : Text(found->second.front(), limit);
}

void ReadVorbis(const TagLib::Ogg::XiphComment& comment, int32_t rate, TakeMetadata& metadata) {
  const auto& fields = comment.fieldListMap();
  metadata.title = Field(fields, "TITLE", TakeMetadataWriter::kMaxTextBytes);
  metadata.software = Field(fields, "ENCODER", TakeMetadataWriter::kMaxTextBytes);
  metadata.comment = Field(fields, "COMMENT", TakeMetadataWriter::kMaxTextBytes);
  SetStart(Field(fields, "DATE", TakeMetadataWriter::kMaxTextBytes), metadata);
  // Numbered from 001 without gaps, as written.
  for (size_t i = 0; i < TakeMetadataWriter::kMaxMarkers; ++i) {
    const std::string key = "CHAPTER" + MetadataTexts::ChapterNumber(i);
    const auto ms = MetadataTexts::ChapterMilliseconds(Field(fields, key, TakeMetadataWriter::kMaxTextBytes));
    if (!ms) break;
    metadata.markers.push_back({FrameAt(*ms, rate), Field(fields, key + "NAME", TakeMetadataWriter::kMaxMarkerNameBytes)});
  }
}

std::string FirstText(const TagLib::ID3v2::FrameList& frames, size_t limit) {
  return frames.isEmpty() ? "" : Text(frames.front()->toString(), limit);
}

void ReadId3(const TagLib::ID3v2::Tag& tag, int32_t rate, TakeMetadata& metadata) {
  const auto& frames = tag.frameListMap();
  const auto text = [&](const char* id, size_t limit) {
    const auto found = frames.find(id);
    return found == frames.end() ? std::string() : FirstText(found->second, limit);
  };
  metadata.title = text("TIT2", TakeMetadataWriter::kMaxTextBytes);
  metadata.software = text("TSSE", TakeMetadataWriter::kMaxTextBytes);
  metadata.comment = text("COMM", TakeMetadataWriter::kMaxTextBytes);
  if (const auto comments = frames.find("COMM"); comments != frames.end() && !comments->second.isEmpty()) {
    if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(comments->second.front())) {
      metadata.language = std::string(comment->language().data(), comment->language().size());
    }
  }
  SetStart(text("TDRC", TakeMetadataWriter::kMaxTextBytes), metadata);
  const auto chapters = frames.find("CHAP");
  if (chapters == frames.end()) return;
  for (const auto* frame : chapters->second) {
    if (metadata.markers.size() >= TakeMetadataWriter::kMaxMarkers) break;
    const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame);
    if (chapter == nullptr) continue;
    metadata.markers.push_back({FrameAt(chapter->startTime(), rate),
                                FirstText(chapter->embeddedFrameList("TIT2"), TakeMetadataWriter::kMaxMarkerNameBytes)});
  }
}

std::string ReadFile(TagLib::IOStream& stream, EncoderSelection::FileType type, int32_t rate, TakeMetadata& metadata) {
  switch (type) {
    case EncoderSelection::TYPE_FLAC: {
      TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
      if (!file.isValid()) return kUnreadable;
      if (file.hasXiphComment()) ReadVorbis(*file.xiphComment(), rate, metadata);
      return {};
    }
    case EncoderSelection::TYPE_OPUS: {
      TagLib::Ogg::Opus::File file(&stream, false);
      if (!file.isValid() || file.tag() == nullptr) return kUnreadable;
      ReadVorbis(*file.tag(), rate, metadata);
      return {};
    }
    case EncoderSelection::TYPE_MP3: {
      TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
      if (!file.isValid()) return kUnreadable;
      if (file.hasID3v2Tag()) ReadId3(*file.ID3v2Tag(), rate, metadata);
      return {};
    }
    case EncoderSelection::TYPE_WAV: break;
  }
  return "not a type TagLib reads here";
}

}  // namespace

std::string TagLibMetadataReader::Read(int fd, EncoderSelection::FileType type, int32_t rate, TakeMetadata& metadata) {
  // The stream closes what it is given.
  const int own = ::dup(fd);
  if (own < 0) return FileDescriptor::SystemError("dup");
  TagLib::FileStream stream(own, true);
  if (!stream.isOpen()) return "the file cannot be opened for reading";
  return ReadFile(stream, type, rate, metadata);
}
