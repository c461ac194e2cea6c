// RecordingMonitor: the recorder's one stored state (RecorderState, moved only
// as CanMove allows), and what the recording thread publishes for the doors and
// views: the few numbers they show (level peaks, length, bytes written, losses,
// loudness), the newest processed block only while a view draws it, the file
// being written, how far the queue is written. Texts are made by the readers
// (StatusTexts). One mutex, held only to copy a block or a few values: the
// recording thread never waits for the window, nor the window for the disk.
// Any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "metering/LoudnessReading.h"
#include "app/recording/RecorderState.h"

class RecordingMonitor {
 public:
  struct Snapshot {
    RecorderState state = RecorderState::Idle;
    uint64_t blockSerial = 0;               // changes with every delivered block
    // Newest block after effects (1024 zeros at first), copied only by
    // Read(into, true) and published only while WatchSamples is on.
    std::vector<int16_t> block;
    // Loudest sample per channel (0..32768) of the newest block as the level
    // bars show it (as captured while paused); mono: the same twice.
    std::array<int32_t, 2> peaks{};
    // The same of the second input's newest stretch, while one records beside the first.
    bool secondInput = false;
    std::array<int32_t, 2> secondPeaks{};
    // The echo's delay as the canceller of the computer's sound estimates it; none: no estimate (yet).
    std::optional<double> echoDelayMs;
    bool capturing = false;                 // the input is open for a recording (the texts' idle values otherwise)
    bool paused = false;                    // the recording is paused (kept while a paused one finishes)
    double secondsToWrite = 0;              // while Finishing: captured input not yet in the file
    bool waitingForSound = false;           // sound activation armed, no take running
    int32_t take = 0;                       // the running take, from 1; 0: none
    double levelThreshold = 0;              // sound activation's threshold, of full scale; 0: off
    LoudnessReading loudness;               // of the recording so far; after a stop its final values
    std::array<int64_t, 2> clips{};         // per channel, this recording (mono: the same twice)
    int64_t fileBytes = -1;                 // bytes in the file being recorded; -1: none or unknown
    int32_t lengthMs = 0;                   // recorded length; 0 when idle
    int32_t takeLengthMs = 0;               // of the running take, else of the last one
    int64_t lostCount = 0;                  // input lost during this recording
    std::string file;                       // being written, else the last written; empty: none yet

    // The loudest of peaks in dB below full scale; BlockPeak::kSilenceDbfs for silence.
    double LevelDbfs() const;
  };

  // The few figures that watchers of a recording (schedules, remote control) follow.
  struct Progress {
    RecorderState state = RecorderState::Idle;
    int64_t fileBytes = -1;
    int32_t lengthMs = 0;
  };

  RecordingMonitor();

  // Window side ------------------------------------------------------------
  // Everything but the block (the numbers the doors and texts need).
  Snapshot Read() const;
  // The same into `into`, reusing its buffers (the window's 25 ms tick);
  // the block only `withBlock` (it is left as it was otherwise).
  void Read(Snapshot& into, bool withBlock = true) const;
  // Whether a view draws the newest block (the waveform and spectrum are on
  // screen): without one the recording thread does not copy it.
  void WatchSamples(bool watched) { samplesWatched_ = watched; }
  RecorderState State() const;
  Progress ReadProgress() const;
  // `heard` runs after every change of state, on the thread that made it
  // (without the lock held). Set before the recording starts.
  void OnChange(std::function<void()> heard) { changed_ = std::move(heard); }
  // A start is on its way (Idle or Monitoring -> Starting); false, and no
  // change, from any other state.
  bool StartRequested();
  // A stop is on its way; `upTo` the received-byte position it cuts at
  // (Starting or a running take -> Finishing). The state it was in, taken in
  // the same step; nothing changed unless that is Starting or TakeRuns.
  RecorderState StopRequested(int64_t upTo);
  // The start/stop button decided in one step: a start from Idle or
  // Monitoring, else a stop as StopRequested. The state it was in.
  RecorderState ToggleRequested(int64_t upTo);

  // Recording thread side ----------------------------------------------------
  // The newest block (kept only while WatchSamples) and the level bars'
  // `peaks` of it; `received` counts every captured byte delivered so far.
  void PublishBlock(std::span<const int16_t> block, std::array<int32_t, 2> peaks, uint64_t serial,
                    int64_t received);
  // Whether a second input records beside the first, and its level bars' peaks.
  void PublishSecondPeaks(bool open, std::array<int32_t, 2> peaks);
  void PublishEchoDelay(std::optional<double> ms);
  void PublishMeters(const LoudnessReading& loudness, std::array<int64_t, 2> clips);
  // What the status texts say: see the Snapshot's fields of these names.
  struct Counts {
    bool capturing = false;
    bool paused = false;
    int64_t fileBytes = -1;
    int32_t lengthMs = 0;
    int64_t lostCount = 0;
  };
  void PublishCounts(const Counts& counts);
  // `recording`, `paused`, `waitingForSound`: the recorder as it is now;
  // `finishing`: a stop is finishing the file (whoever asked for it);
  // `bytesPerSecond` of the capture; `monitoring`: the input is open with no
  // take (where a refused start or a finished stop comes back to). Moves the
  // state where the table allows.
  void PublishRunning(bool recording, bool paused, bool waitingForSound, bool finishing, int32_t bytesPerSecond,
                      bool monitoring = false);
  // The file the recording writes now (a new part, a new take's file).
  void PublishFile(const std::string& path);
  // Sound activation: armed and waiting, the running take (0: none), the
  // threshold as a fraction of full scale (0: off).
  void PublishHandsFree(bool waitingForSound, int32_t take, double levelThreshold);
  // The start request was handled: still Starting means refused (-> Idle, or
  // Monitoring while the input is open).
  void StartHandled();
  // The stop request was handled: the file is finished (Finishing -> Idle or Monitoring).
  void StopHandled();

 private:
  // Under the lock: moves to `to` when the table allows; true when it changed.
  bool MoveLocked(RecorderState to);
  void Heard(bool changed) const;
  // StopRequested, and with `startsAtRest` ToggleRequested: decided under one lock.
  RecorderState StopOrStartRequested(int64_t upTo, bool startsAtRest);

  mutable std::mutex mutex_;
  RecorderState state_ = RecorderState::Idle;
  RecorderState rest_ = RecorderState::Idle;  // Idle, or Monitoring while the input is open
  std::function<void()> changed_;
  int64_t stopAt_ = 0;
  int64_t received_ = 0;
  int32_t bytesPerSecond_ = 0;
  bool waitingForSound_ = false;
  int32_t take_ = 0;
  double levelThreshold_ = 0;
  uint64_t serial_ = 0;
  std::atomic<bool> samplesWatched_{true};
  std::vector<int16_t> block_;
  std::array<int32_t, 2> peaks_{};
  bool secondInput_ = false;
  std::array<int32_t, 2> secondPeaks_{};
  std::optional<double> echoDelayMs_;
  bool capturing_ = false;
  bool paused_ = false;
  LoudnessReading loudness_;
  std::array<int64_t, 2> clips_{};
  int64_t fileBytes_ = -1;
  int32_t lengthMs_ = 0;
  int32_t takeLengthMs_ = 0;
  int64_t lostCount_ = 0;
  std::string file_;
};
