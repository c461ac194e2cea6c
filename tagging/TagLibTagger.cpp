#include "tagging/TagLibTagger.h"

#include <taglib/chapterframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include "tagging/LoudnessGains.h"
#include "tagging/MetadataTexts.h"

namespace {

using FileType = EncoderSelection::FileType;

TagLib::String Utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

// Title, start, program and comment; a cleared comment goes.
void VorbisTexts(TagLib::Ogg::XiphComment& comment, const TakeMetadata& metadata) {
  const auto set = [&](const char* key, const std::string& value) { comment.addField(key, Utf8(value), true); };
  set("TITLE", metadata.title);
  set("DATE", MetadataTexts::LocalDateTime(metadata.start));
  set("ENCODER", metadata.software);
  comment.removeFields("COMMENT");
  if (!metadata.comment.empty()) set("COMMENT", metadata.comment);
}

void VorbisFields(TagLib::Ogg::XiphComment& comment, FileType type, int32_t rate, const TakeMetadata& metadata) {
  const auto set = [&](const char* key, const std::string& value) { comment.addField(key, Utf8(value), true); };
  VorbisTexts(comment, metadata);
  for (size_t i = 0; i < metadata.markers.size(); ++i) {
    const std::string key = "CHAPTER" + MetadataTexts::ChapterNumber(i);
    set(key.c_str(), MetadataTexts::ChapterTime(metadata.markers[i].frame, rate));
    set((key + "NAME").c_str(), metadata.markers[i].name);
  }
  if (!metadata.loudness) return;
  if (type == EncoderSelection::TYPE_OPUS) {
    // Relative to the output gain of the Opus header, which ours leaves at 0.
    set("R128_TRACK_GAIN", std::to_string(LoudnessGains::R128TrackGain(*metadata.loudness)));
  } else {
    set("REPLAYGAIN_TRACK_GAIN", LoudnessGains::ReplayGainTrackGain(*metadata.loudness));
    set("REPLAYGAIN_TRACK_PEAK", LoudnessGains::ReplayGainTrackPeak(*metadata.loudness));
  }
}

void AddText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text) {
  auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(id, TagLib::String::UTF8);
  frame->setText(Utf8(text));
  tag.removeFrames(id);
  tag.addFrame(frame.release());
}

void AddUserText(TagLib::ID3v2::Tag& tag, const char* description, const std::string& text) {
  tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(description, TagLib::StringList(Utf8(text))));
}

void AddChapters(TagLib::ID3v2::Tag& tag, int32_t rate, const TakeMetadata& metadata, int64_t lengthMs) {
  TagLib::ByteVectorList children;
  const auto& markers = metadata.markers;
  for (size_t i = 0; i < markers.size(); ++i) {
    const TagLib::ByteVector id(("ch" + std::to_string(i + 1)).c_str());
    const auto startMs = static_cast<unsigned>(MetadataTexts::Milliseconds(markers[i].frame, rate));
    // A chapter lasts up to the next marker, the last one up to the end.
    const int64_t next = i + 1 < markers.size() ? MetadataTexts::Milliseconds(markers[i + 1].frame, rate) : lengthMs;
    const auto endMs = static_cast<unsigned>(std::max<int64_t>(next, startMs));
    auto title = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>("TIT2", TagLib::String::UTF8);
    title->setText(Utf8(markers[i].name));
    TagLib::ID3v2::FrameList embedded;
    embedded.append(title.release());
    // 0xFFFFFFFF: positions are given by time, not by byte offset.
    tag.addFrame(new TagLib::ID3v2::ChapterFrame(id, startMs, endMs, 0xFFFFFFFF, 0xFFFFFFFF, embedded));
    children.append(id);
  }
  auto toc = std::make_unique<TagLib::ID3v2::TableOfContentsFrame>("toc", children);
  toc->setIsTopLevel(true);
  toc->setIsOrdered(true);
  tag.addFrame(toc.release());
}

// ID3v2 wants three lower-case letters; anything else is told as unknown.
TagLib::ByteVector CommentLanguage(const std::string& code) {
  const bool valid = code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  return TagLib::ByteVector(valid ? code.c_str() : "und", 3);
}

// Title, start, program and comment; a cleared comment goes.
void Id3Texts(TagLib::ID3v2::Tag& tag, const TakeMetadata& metadata) {
  AddText(tag, "TIT2", metadata.title);
  AddText(tag, "TDRC", MetadataTexts::LocalDateTime(metadata.start));
  AddText(tag, "TSSE", metadata.software);
  tag.removeFrames("COMM");
  if (!metadata.comment.empty()) {
    auto comment = std::make_unique<TagLib::ID3v2::CommentsFrame>(TagLib::String::UTF8);
    comment->setLanguage(CommentLanguage(metadata.language));
    comment->setText(Utf8(metadata.comment));
    tag.addFrame(comment.release());
  }
}

void Id3Frames(TagLib::ID3v2::Tag& tag, int32_t rate, const TakeMetadata& metadata, int64_t lengthMs) {
  Id3Texts(tag, metadata);
  if (metadata.loudness) {
    AddUserText(tag, "REPLAYGAIN_TRACK_GAIN", LoudnessGains::ReplayGainTrackGain(*metadata.loudness));
    AddUserText(tag, "REPLAYGAIN_TRACK_PEAK", LoudnessGains::ReplayGainTrackPeak(*metadata.loudness));
  }
  if (!metadata.markers.empty()) AddChapters(tag, rate, metadata, lengthMs);
}

const char* kUnreadable = "the file cannot be read as its type";
const char* kUnwritable = "the tags could not be written";

// What goes into the file's tag: everything, or the texts alone.
struct Writers {
  std::function<void(TagLib::Ogg::XiphComment&, FileType)> vorbis;
  std::function<void(TagLib::ID3v2::Tag&, int64_t lengthMs)> id3;
};

std::string TagFlac(TagLib::IOStream& stream, const Writers& write) {
  TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  if (!file.isValid()) return kUnreadable;
  write.vorbis(*file.xiphComment(true), EncoderSelection::TYPE_FLAC);
  return file.save() ? "" : kUnwritable;
}

std::string TagOpus(TagLib::IOStream& stream, const Writers& write) {
  TagLib::Ogg::Opus::File file(&stream, false);
  if (!file.isValid() || file.tag() == nullptr) return kUnreadable;
  write.vorbis(*file.tag(), EncoderSelection::TYPE_OPUS);
  return file.save() ? "" : kUnwritable;
}

std::string TagMp3(TagLib::IOStream& stream, const Writers& write) {
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true);
  // TagLib takes any bytes for MPEG audio; ours begin with a frame, or a tag before one.
  if (!file.isValid() || file.audioProperties() == nullptr || file.firstFrameOffset() < 0 ||
      file.firstFrameOffset() != (file.hasID3v2Tag() ? file.ID3v2Tag()->header()->completeTagSize() : 0)) {
    return kUnreadable;
  }
  write.id3(*file.ID3v2Tag(true), file.audioProperties()->lengthInMilliseconds());
  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone) ? "" : kUnwritable;
}

std::string Apply(int fd, FileType type, const Writers& write) {
  // The stream closes what it is given.
  const int own = ::dup(fd);
  if (own < 0) return std::string("dup: ") + std::strerror(errno);
  TagLib::FileStream stream(own, false);
  if (!stream.isOpen() || stream.readOnly()) return "the file cannot be opened for writing";
  switch (type) {
    case EncoderSelection::TYPE_FLAC: return TagFlac(stream, write);
    case EncoderSelection::TYPE_OPUS: return TagOpus(stream, write);
    case EncoderSelection::TYPE_MP3: return TagMp3(stream, write);
    case EncoderSelection::TYPE_WAV: break;
  }
  return "not a type TagLib tags here";
}

}  // namespace

std::string TagLibTagger::Tag(int fd, FileType type, int32_t rate, const TakeMetadata& metadata) {
  return Apply(fd, type,
               {[&](TagLib::Ogg::XiphComment& comment, FileType kind) { VorbisFields(comment, kind, rate, metadata); },
                [&](TagLib::ID3v2::Tag& tag, int64_t lengthMs) { Id3Frames(tag, rate, metadata, lengthMs); }});
}

std::vector<uint8_t> TagLibTagger::Id3v2Texts(const TakeMetadata& texts) {
  TagLib::ID3v2::Tag tag;
  Id3Texts(tag, texts);
  // Rendered frame by frame: Tag::render adds a kilobyte of padding for edits in place, which ours never are.
  TagLib::ByteVector frames;
  for (const TagLib::ID3v2::Frame* frame : tag.frameList()) frames.append(frame->render());
  TagLib::ID3v2::Header header;
  header.setMajorVersion(4);
  header.setTagSize(frames.size());
  TagLib::ByteVector rendered = header.render();
  rendered.append(frames);
  return {rendered.begin(), rendered.end()};
}

std::string TagLibTagger::Retag(int fd, FileType type, const TakeMetadata& texts) {
  return Apply(fd, type, {[&](TagLib::Ogg::XiphComment& comment, FileType) { VorbisTexts(comment, texts); },
                          [&](TagLib::ID3v2::Tag& tag, int64_t) { Id3Texts(tag, texts); }});
}
