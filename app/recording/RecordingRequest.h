// RecordingRequest: everything one start asks for, as one value. Every door
// fills one (the window with its choices left empty, the command line and the
// bus with what they were given); a field left empty means "as chosen now".
// Fields that name a choice (device, line, format, type) become the
// recorder's choices, which the window then shows; the rest hold for this
// take alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/recording/RecordingFormat.h"
#include "app/recording/SecondInputSettings.h"
#include "app/recording/TakeTexts.h"

struct RecordingRequest {
  std::string device;                    // a device's name or source name; empty: the chosen one
  std::optional<int32_t> line;           // the device's line, from 0; none: the chosen one
  std::optional<RecordingFormat> format;  // none: the chosen rate and channels
  std::string type;                      // "wav", "flac", "opus" or "mp3"; empty: the chosen type
  std::string file;                      // the target file; empty: the output box's (the next numbered one)
  std::optional<std::chrono::milliseconds> duration;  // ends by itself after this much input, to the sample
  // Seconds of the monitor's input from before the press the take begins with
  // (at most what it keeps); none: as set for monitoring.
  std::optional<double> preRecordSeconds;
  std::optional<TakeTexts> tags;         // for this take; none: the texts of the next takes
  // The second input and its tracks; none: as chosen (sourceName empty: one input).
  std::optional<SecondInputSettings> second{};
};
