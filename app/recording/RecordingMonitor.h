// RecordingMonitor: the recorder's one stored state (RecorderState, moved only
// as CanMove allows), and what the recording thread publishes for the doors and
// views (newest processed block, status texts, the file being written, how far
// the queue is written). One mutex, held only to copy a block or a few values:
// the recording thread never waits for the window, nor the window for the disk.
// Any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
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
    std::vector<int16_t> block;             // newest block after effects (1024 zeros at first)
    std::vector<int16_t> levelBlock;        // for the level bars: as captured while paused
    std::string sizeText, lengthText, lostText;  // status bar panels
    double secondsToWrite = 0;              // while Finishing: captured input not yet in the file
    bool waitingForSound = false;           // sound activation armed, no take running
    int32_t take = 0;                       // the running take, from 1; 0: none
    double levelThreshold = 0;              // sound activation's threshold, of full scale; 0: off
    LoudnessReading loudness;               // of the recording so far; after a stop its final values
    std::array<int64_t, 2> clips{};         // per channel, this recording (mono: the same twice)
    int64_t fileBytes = -1;                 // size of the file being recorded; -1: none or unknown
    int32_t lengthMs = 0;                   // recorded length; 0 when idle
    int32_t takeLengthMs = 0;               // of the running take, else of the last one
    int64_t lostCount = 0;                  // input lost during this recording
    std::string file;                       // being written, else the last written; empty: none yet

    // lengthText with sound activation's state: armed and waiting, or the running take.
    std::string LengthWithHandsFree() const;
    // levelBlock's loudest sample in dB below full scale; BlockPeak::kSilenceDbfs for silence.
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
  Snapshot Read() const;
  // The same into `into`, reusing its buffers (the window's 25 ms tick).
  void Read(Snapshot& into) const;
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
  // The newest block; `received` counts every captured byte delivered so far.
  void PublishBlock(std::span<const int16_t> block, std::span<const int16_t> levelBlock, uint64_t serial,
                    int64_t received);
  void PublishTexts(std::string size, std::string length, std::string lost);
  void PublishMeters(const LoudnessReading& loudness, std::array<int64_t, 2> clips);
  void PublishFileBytes(int64_t bytes);
  void PublishCounts(int32_t lengthMs, int64_t lostCount);
  // `recording`, `paused`, `waitingForSound`: the recorder as it is now;
  // `finishing`: a stop is finishing the file (whoever asked for it);
  // `bytesPerSecond` of the capture. Moves the state where the table allows.
  void PublishRunning(bool recording, bool paused, bool waitingForSound, bool finishing, int32_t bytesPerSecond);
  // The file the recording writes now (a new part, a new take's file).
  void PublishFile(const std::string& path);
  // Sound activation: armed and waiting, the running take (0: none), the
  // threshold as a fraction of full scale (0: off).
  void PublishHandsFree(bool waitingForSound, int32_t take, double levelThreshold);
  // The start request was handled: still Starting means refused (-> Idle).
  void StartHandled();
  // The stop request was handled: the file is finished (Finishing -> Idle).
  void StopHandled();

 private:
  // Under the lock: moves to `to` when the table allows; true when it changed.
  bool MoveLocked(RecorderState to);
  void Heard(bool changed) const;

  mutable std::mutex mutex_;
  RecorderState state_ = RecorderState::Idle;
  std::function<void()> changed_;
  int64_t stopAt_ = 0;
  int64_t received_ = 0;
  int32_t bytesPerSecond_ = 0;
  bool waitingForSound_ = false;
  int32_t take_ = 0;
  double levelThreshold_ = 0;
  uint64_t serial_ = 0;
  std::vector<int16_t> block_;
  std::vector<int16_t> levelBlock_;
  std::string sizeText_, lengthText_, lostText_;
  LoudnessReading loudness_;
  std::array<int64_t, 2> clips_{};
  int64_t fileBytes_ = -1;
  int32_t lengthMs_ = 0;
  int32_t takeLengthMs_ = 0;
  int64_t lostCount_ = 0;
  std::string file_;
};
