#include "tagging/MetadataTexts.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <cstdio>

namespace {

template <typename... Values>
std::string Printed(const char* format, Values... values) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

}  // namespace

int64_t MetadataTexts::Milliseconds(int64_t frame, int32_t rate) { return (frame * 1000 + rate / 2) / rate; }

std::string MetadataTexts::ChapterTime(int64_t frame, int32_t rate) {
  const int64_t ms = Milliseconds(frame, rate);
  return Printed("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                 static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                 static_cast<long long>(ms % 1000));
}

std::string MetadataTexts::LabelSeconds(int64_t frame, int32_t rate) {
  // Whole seconds and the rest in integers: exact for any length a file can have.
  const int64_t micros = (frame % rate * 1000000 + rate / 2) / rate;
  return Printed("%lld.%06lld", static_cast<long long>(frame / rate + micros / 1000000),
                 static_cast<long long>(micros % 1000000));
}

std::string MetadataTexts::LocalDateTime(std::chrono::system_clock::time_point when, char separator) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return Printed("%04d-%02d-%02d%c%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, separator,
                 local.tm_hour, local.tm_min, local.tm_sec);
}

std::optional<int64_t> MetadataTexts::ChapterMilliseconds(const std::string& text) {
  unsigned hours = 0, minutes = 0, seconds = 0, millis = 0;
  int used = 0;
  if (text.size() > 16 || std::sscanf(text.c_str(), "%2u:%2u:%2u.%3u%n", &hours, &minutes, &seconds, &millis, &used) != 4 ||
      static_cast<size_t>(used) != text.size() || minutes > 59 || seconds > 59) {
    return std::nullopt;
  }
  return ((int64_t(hours) * 60 + minutes) * 60 + seconds) * 1000 + millis;
}

std::optional<std::chrono::system_clock::time_point> MetadataTexts::ParseLocalDateTime(const std::string& text) {
  std::tm local{};
  char separator = 0;
  int used = 0;
  if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &local.tm_year, &local.tm_mon,
                                       &local.tm_mday, &separator, &local.tm_hour, &local.tm_min, &local.tm_sec,
                                       &used) != 7 ||
      used != 19 || (separator != 'T' && separator != ' ')) {
    return std::nullopt;
  }
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;  // the zone's rule for that day, as LocalDateTime wrote it
  const std::time_t seconds = std::mktime(&local);
  if (seconds == -1) return std::nullopt;
  return std::chrono::system_clock::from_time_t(seconds);
}

std::string MetadataTexts::Utf8Prefix(std::string text, size_t size) {
  if (text.size() <= size) return text;
  // Back off over continuation bytes (10xxxxxx) to the start of the cut sequence.
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  text.resize(size);
  return text;
}

std::string MetadataTexts::ChapterNumber(size_t index) { return Printed("%03zu", index + 1); }

std::string MetadataTexts::TitleFromPath(const std::string& path) {
  return std::filesystem::path(path).stem().string();
}

std::string MetadataTexts::ProgramName() { return std::string("Tamblin ") + TAMBLIN_VERSION; }
