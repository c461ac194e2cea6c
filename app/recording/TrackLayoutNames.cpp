#include "app/recording/TrackLayoutNames.h"

#include "app/platform/TrackNames.h"

static_assert(static_cast<size_t>(TrackLayout::Both) + 1 == TrackNames::kAll.size(), "one word per layout");

std::string_view TrackLayoutNames::Name(TrackLayout layout) { return TrackNames::kAll[static_cast<size_t>(layout)]; }

std::optional<TrackLayout> TrackLayoutNames::Named(std::string_view name) {
  const std::optional<size_t> index = TrackNames::IndexOf(name);
  if (!index) return std::nullopt;
  return static_cast<TrackLayout>(*index);
}
