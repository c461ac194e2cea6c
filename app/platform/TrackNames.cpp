#include "app/platform/TrackNames.h"

std::optional<size_t> TrackNames::IndexOf(std::string_view name) {
  for (size_t i = 0; i < kAll.size(); ++i) {
    if (kAll[i] == name) return i;
  }
  return std::nullopt;
}

std::string TrackNames::Listed(std::string_view separator) {
  std::string listed;
  for (const std::string_view name : kAll) {
    if (!listed.empty()) listed += separator;
    listed += name;
  }
  return listed;
}
