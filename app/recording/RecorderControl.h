// RecorderControl: the recorder's verbs as every door calls them (the window's
// buttons, the tray, the command-line socket, the session bus, the schedule,
// the terminal), and the one state they all read. Every answer carries a
// reason in the interface's language when refused ("no recording to stop",
// "device not found" ...), and the warnings of a start that runs.
// Window's thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/recording/RecorderState.h"
#include "app/recording/RecordingRequest.h"

class RecorderControl {
 public:
  struct Result {
    bool ok = false;
    std::string reason;                 // why not, when !ok
    std::vector<std::string> warnings{};  // what a done request warned of (a start without its journal ...)
  };
  struct Status {
    RecorderState state = RecorderState::Idle;
    int32_t lengthMs = 0;
    std::string file;      // the file being written; else the last one written, or the next one
    int64_t inputLost = 0;
    int64_t fileBytes = -1;  // of the file being written; -1: none or unknown
    std::string device;      // the device recorded (or chosen); empty: none
    std::string type;        // "wav", "flac", "opus" or "mp3"
    double levelDbfs = -99;  // the newest block's peak; -99 for silence or nothing open
    // At rest with a scheduled start waiting: how long until it; none: no start waits.
    std::optional<std::chrono::seconds> scheduledStartIn;
  };
  using StateListener = std::function<void(RecorderState)>;

  virtual ~RecorderControl() = default;

  virtual Result Start(const RecordingRequest& request) = 0;
  virtual Result Stop() = 0;
  virtual Result Pause() = 0;
  virtual Result Resume() = 0;
  // As the start/stop button: cancels a waiting scheduled start, else starts
  // when idle and stops a running (or starting) recording, decided in one step.
  virtual Result Toggle() = 0;
  // A marker at the current sample, named `name` ("标记 N" when empty).
  virtual Result Mark(const std::string& name) = 0;
  virtual Status CurrentStatus() const = 0;
  // `listener` hears every change of state from now on (on the window's thread).
  virtual void OnStateChanged(StateListener listener) = 0;
};
