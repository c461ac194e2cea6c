// PulseTimedInput: an audio server record stream (s16le) whose input is kept,
// with when it was captured, for another thread to take at its own pace. It
// is a second input beside a recording's own: nothing it does holds up the
// first. Input that never came (the device stalled, the server dropped it, a
// hole in the stream) is filled with silence of its length, so frame n of
// what is taken was captured n / rate after frame 0; each such fill is told as
// a Gap. A vanished source or server ends the input without ending anything
// else.
//
// Threads: Open and Close on the thread that owns it; the main loop thread
// stores (OnRead) and notes capture times; the owner's thread waits for and
// takes input. The queue has a lock of its own, held briefly, never while
// waiting for the server.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/CaptureTimeline.h"
#include "capture/PulseCaptureTime.h"
#include "capture/PulseTimingBurst.h"

class PulseConnection;

class PulseTimedInput {
 public:
  struct Gap {
    int64_t frame = 0;   // where the silence begins, in frames since Open
    int64_t frames = 0;
  };
  // Input kept for an owner that does not take it; older input goes first.
  static constexpr int64_t kQueueSeconds = 30;

  explicit PulseTimedInput(std::shared_ptr<PulseConnection> connection);
  ~PulseTimedInput();
  PulseTimedInput(const PulseTimedInput&) = delete;
  PulseTimedInput& operator=(const PulseTimedInput&) = delete;

  // Opens `sourceName` and starts taking input in `fragmentsPerSecond`
  // pieces. Empty when open; else why not, in the server's words.
  std::string Open(const std::string& sourceName, int32_t rate, int16_t channels,
                   uint32_t fragmentsPerSecond);
  void Close();
  bool IsOpen() const { return stream_ != nullptr; }

  // Waits until `frames` frames have come since Open (silence for gaps
  // included), the input vanished, or `limit` passed. True when they have.
  bool WaitFor(int64_t frames, std::chrono::milliseconds limit);
  // Waits until the server's timing was read `readings` times since Open,
  // the input vanished, or `limit` passed. True when it was.
  bool WaitForTiming(size_t readings, std::chrono::milliseconds limit);
  // Moves the oldest input not yet taken into `out` (whole frames); returns
  // the samples moved.
  size_t Take(std::span<int16_t> out);
  // Frames come since Open, and of those, taken (or dropped as too old).
  int64_t ReceivedFrames() const;
  // The longest run of input one read brought so far, in microseconds.
  int64_t LongestRunUsec() const;
  int64_t TakenFrames() const;
  // The frame (since Open, fractional) captured at `usec` of the capture clock.
  std::optional<double> FrameCapturedAt(int64_t usec) const;
  std::vector<Gap> TakeGaps();
  // The source or the server went away; the server's words for why.
  bool Vanished() const;
  std::string VanishedReason() const;

 private:
  static void OnRead(pa_stream* stream, size_t bytes, void* self);
  static void OnState(pa_stream* stream, void* self);

  void Drain();  // main loop thread
  // Main loop thread: notes the stream's timing now; true when it counted.
  bool NoteFreshTiming();
  void CloseStream();  // main loop lock held
  // With mutex_ held.
  void Store(const int16_t* samples, size_t count);  // nullptr: silence
  bool NoteTiming(const PulseCaptureTime::Reading& reading);

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;  // changed on the owner's thread under the main loop lock
  int16_t channels_ = 1;
  std::vector<int16_t> scratch_;  // one read's input, main loop thread
  CaptureTimeline timeline_;  // by the server's timing
  CaptureTimeline arrivals_;  // by when the input arrived: finds gaps
  PulseTimingBurst startReadings_;  // fills timeline_ soon after Open
  // Main loop thread: silence put in for gaps, before and since the last
  // one, and where in the stream's own bytes that went in.
  int64_t filledBytes_ = 0;
  int64_t filledBefore_ = 0;
  int64_t lastFillAt_ = 0;
  int64_t streamBytes_ = 0;  // read from the stream
  // The longest run of input one read brought. A source that renders ahead
  // in runs (a sink's monitor behind a client with a long buffer) hands over
  // each run at once, so its arrivals wander by up to a run: no gap.
  std::atomic<int64_t> longestRunUsec_{0};
  int32_t rate_ = 1;

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<int16_t> queue_;  // samples come and not taken; the first queueStart_ are taken
  size_t queueStart_ = 0;
  size_t queueLimit_ = 0;       // samples
  int64_t receivedFrames_ = 0;
  int64_t takenFrames_ = 0;
  std::vector<Gap> gaps_;
  bool vanished_ = false;
  std::string vanishedReason_;
};
