// FileTypes: the output file types, one row each, read by every layer that
// names, lists, recognises or writes one: the encoders, the trimmer and the
// tag readers, the numbered files and the journal, the command line, the
// settings file and the window's type box. A new type is a new row (and its
// encoder). Plain constants; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class FileTypes {
 public:
  enum FileType : int32_t { TYPE_WAV = 0, TYPE_FLAC = 1, TYPE_OPUS = 2, TYPE_MP3 = 3 };
  static constexpr int32_t kCount = 4;

  struct Row {
    FileType type;
    const char* name;       // as the command line, requests and the settings file say it
    const char* caption;    // as the type box lists it
    const char* extension;  // without the dot
    const char* muxer;      // libavformat's muxer; "" for WAV (written by our own writer)
    const char* codec;      // libavcodec's encoder; "" for WAV
  };

  // Indexed by FileType, in the order of the window's type box.
  static constexpr std::array<Row, kCount> kRows = {{
      {TYPE_WAV, "wav", "WAV", "wav", "", ""},
      {TYPE_FLAC, "flac", "FLAC", "flac", "flac", "flac"},
      {TYPE_OPUS, "opus", "Ogg Opus", "opus", "opus", "libopus"},
      {TYPE_MP3, "mp3", "MP3", "mp3", "mp3", "libmp3lame"},
  }};

  // The row of `type`; throws std::out_of_range for a value outside the types.
  static const Row& Of(FileType type);
  // The type called `name` ("flac", exactly); none for any other text.
  static std::optional<FileType> Named(std::string_view name);
  // The type whose extension ends `path` ("x.flac", "X.FLAC"); none for any
  // other extension or none at all.
  static std::optional<FileType> OfPath(std::string_view path);
  // The type whose extension is `extension` (no dot, any case); none for any other.
  static std::optional<FileType> OfExtension(std::string_view extension);
  // Every name, in order, with `separator` between them: "wav, flac, opus, mp3".
  static std::string Names(std::string_view separator);
};
