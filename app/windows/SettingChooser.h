// SettingChooser: the dialog that picks a compressed file type's setting
// (compression level, bit rate) from its list of choices. The main window
// supplies a Qt dialog; tests supply a scripted chooser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "encoding/EncoderSetting.h"

class SettingChooser {
 public:
  virtual ~SettingChooser() = default;

  // Lets the user pick one of `choices`, starting on the one whose value is
  // `current`; the chosen value, or nullopt when cancelled.
  virtual std::optional<int32_t> Choose(const std::vector<EncoderSetting>& choices, int32_t current,
                                        const std::string& Title) = 0;
};
