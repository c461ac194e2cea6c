// MetadataTexts: the text forms markers, times and gains take in the tags.
// Pure functions; frames and rates are validated by the caller (rate > 0).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class MetadataTexts {
 public:
  // "HH:MM:SS.mmm", rounded to the nearest millisecond.
  static std::string ChapterTime(int64_t frame, int32_t rate);
  static int64_t Milliseconds(int64_t frame, int32_t rate);
  // Seconds with 6 decimals, as label files hold them.
  static std::string LabelSeconds(int64_t frame, int32_t rate);
  // Local time "YYYY-MM-DDTHH:MM:SS" (`separator` between date and time).
  static std::string LocalDateTime(std::chrono::system_clock::time_point when, char separator = 'T');
  // The inverse of ChapterTime, in milliseconds; none for any other text.
  static std::optional<int64_t> ChapterMilliseconds(const std::string& text);
  // The inverse of LocalDateTime (either separator); none for any other text.
  static std::optional<std::chrono::system_clock::time_point> ParseLocalDateTime(const std::string& text);
  // `text` cut to at most `size` bytes, never inside a UTF-8 sequence.
  static std::string Utf8Prefix(std::string text, size_t size);
  // "NNN" of CHAPTERNNN, 1-based.
  static std::string ChapterNumber(size_t index);
  // The title a file gets when the caller gives none: its name without extension.
  static std::string TitleFromPath(const std::string& path);
  // "Tamblin <version>".
  static std::string ProgramName();
};
