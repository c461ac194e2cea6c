// RecorderControl: what a caller outside the window (a later start's command
// line, the session bus) may ask of the running recorder, and what it reports.
// Every answer is one line in the interface's language; a refusal says why
// ("no recording to stop", "device not found" ...). Window's thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/recording/RecorderState.h"

class RecorderControl {
 public:
  struct StartOptions {
    std::string device;  // a device's name or description; empty: the chosen one
    std::string type;    // "wav", "flac", "opus" or "mp3"; empty: the chosen one
    std::optional<std::chrono::milliseconds> duration;  // stop after this long
  };
  struct Result {
    bool ok = false;
    std::string reason;                 // why not, when !ok
    std::vector<std::string> warnings{};  // what a done request warned of (a start without its journal ...)
  };
  struct Status {
    RecorderState state = RecorderState::Idle;
    int32_t lengthMs = 0;
    std::string file;  // the file being (or last) recorded
    int64_t inputLost = 0;
  };
  using StateListener = std::function<void(RecorderState)>;

  virtual ~RecorderControl() = default;

  virtual Result Start(const StartOptions& options) = 0;
  virtual Result Stop() = 0;
  virtual Result Pause() = 0;
  virtual Result Resume() = 0;
  virtual Result Toggle() = 0;
  // A marker at the current sample, named `name` ("标记 N" when empty).
  virtual Result Mark(const std::string& name) = 0;
  virtual Status CurrentStatus() const = 0;
  // `listener` hears every change of state from now on (on the window's thread).
  virtual void OnStateChanged(StateListener listener) = 0;
};
