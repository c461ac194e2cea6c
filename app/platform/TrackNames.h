// TrackNames: where a two-input take's tracks go, as the command line, the
// request channel, the bus and the settings file spell it: "mix", "separate"
// or "both", in TrackLayout's order. Plain words; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

class TrackNames {
 public:
  static constexpr std::array<std::string_view, 3> kAll = {"mix", "separate", "both"};

  // The position of `name` in kAll; nothing for any other word.
  static std::optional<size_t> IndexOf(std::string_view name);
  // Every name, `separator` between them.
  static std::string Listed(std::string_view separator);
};
