// TrackLayoutNames: a TrackLayout as its word (TrackNames) and back.
#pragma once

#include <optional>
#include <string_view>

#include "app/recording/SecondInputSettings.h"

class TrackLayoutNames {
 public:
  static std::string_view Name(TrackLayout layout);
  // Nothing for a word that names no layout.
  static std::optional<TrackLayout> Named(std::string_view name);
};
