// PipeSourceFeeder: a module-pipe-source on the current server (PULSE_SERVER)
// fed with exact samples from a thread, for deterministic capture tests.
//
//   PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("cap"), 44100, 2, "Pipe-Test");
//   ASSERT_TRUE(feeder.Loaded());
//   feeder.Feed(samples);      // starts feeding in the background, returns at once
//   ... record from source feeder.SourceName() ...
//   feeder.WaitFed();          // joins the feeding thread
//
// Samples are signed 16-bit, interleaved when channels is 2, written to the
// FIFO in chunks of kChunkBytes at `speed` times real time (1 .. 8 keeps the
// server from dropping what it cannot take). The destructor stops feeding and
// unloads the module. Source names must be unique on a shared server:
// UniqueName adds the process id and a counter.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class PipeSourceFeeder {
 public:
  static constexpr size_t kChunkBytes = 4096;
  // A feed whose reader takes nothing for this long gives up (the server hung
  // or stopped reading), so WaitFed and StopFeeding always return.
  static constexpr std::chrono::seconds kStallLimit{10};
  static constexpr int kPollMilliseconds = 50;
  static constexpr int kPipeBytes = 1 << 20;  // the FIFO's depth: about 6 s of 44100 Hz stereo

  // Loads module-pipe-source with source_name=`sourceName`, s16le at `rate` Hz
  // and `channels` channels, and device.description=`description` (no spaces:
  // pactl's module argument parser would need extra quoting).
  PipeSourceFeeder(std::string sourceName, int32_t rate, int32_t channels,
                   std::string description);
  ~PipeSourceFeeder();
  PipeSourceFeeder(const PipeSourceFeeder&) = delete;
  PipeSourceFeeder& operator=(const PipeSourceFeeder&) = delete;

  bool Loaded() const { return moduleIndex_ >= 0; }
  // Removes the source now, as a device unplugged (a feed to it ends).
  void Unload();
  const std::string& SourceName() const { return sourceName_; }
  const std::string& Description() const { return description_; }

  // Starts feeding `samples` (a previous feed is waited for first).
  void Feed(std::vector<int16_t> samples, double speed = 1.0);
  // From the next feed, every piece written here is written to `other`'s
  // pipe at the same moment: one sound reaching two inputs at once. `other`
  // has the same format and outlives the feed. The `muteBytes` from byte
  // `muteFrom` of the feed (whole chunks) are kept from `other`: its input
  // stops for that long.
  void Mirror(const PipeSourceFeeder& other, size_t muteFrom = 0, size_t muteBytes = 0) {
    mirrorPath_ = other.fifoPath_;
    muteFrom_ = muteFrom;
    muteBytes_ = muteBytes;
  }
  // Feeds `samples` at real pace as a live input (a microphone) does: nothing
  // waits for the reader, and what the pipe cannot take when it is due is gone
  // (counted by Dropped). The pipe holds about 6 s for a reader that is late.
  void FeedLive(std::vector<int16_t> samples);
  // Bytes a live feed had to drop.
  size_t Dropped() const { return dropped_; }
  // Feeds a repeating non-silent pattern until StopFeeding or the destructor,
  // for load tests and benchmarks where the content does not matter.
  void FeedContinuously(double speed = 1.0);
  // Waits for the current feed to finish (at most kStallLimit past the
  // reader's last progress). Returns the bytes written.
  size_t WaitFed();
  // Ends a running feed early.
  void StopFeeding();

  // "<prefix>_<pid>_<counter>": unique within this machine's test run.
  static std::string UniqueName(const std::string& prefix);

 private:
  enum class Mode { Once, Repeat, Live };
  void Start(std::vector<int16_t> samples, double speed, Mode mode);
  void FeedLoop(std::vector<int16_t> samples, double speed, Mode mode);

  std::string sourceName_;
  std::string description_;
  std::string fifoPath_;
  std::string mirrorPath_;  // empty: none
  size_t muteFrom_ = 0;
  size_t muteBytes_ = 0;
  int32_t rate_;
  int32_t channels_;
  int moduleIndex_ = -1;
  std::thread feeder_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> written_{0};
  std::atomic<size_t> dropped_{0};
};
