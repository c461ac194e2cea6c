// PulsePlaybackOutput: PlaybackOutput on a libpulse playback stream to the
// server's default sink, on a PulseConnection of its own (a hung server costs
// one timeout, never a hang). The stream is kept short (about a fifth of a
// second queued), so a stop or a seek is heard at once.
#pragma once

#include <memory>

#include "capture/PlaybackOutput.h"

class PulseConnection;
struct pa_operation;
struct pa_stream;

class PulsePlaybackOutput : public PlaybackOutput {
 public:
  PulsePlaybackOutput();
  ~PulsePlaybackOutput() override;
  PulsePlaybackOutput(const PulsePlaybackOutput&) = delete;
  PulsePlaybackOutput& operator=(const PulsePlaybackOutput&) = delete;

  std::string Open(int32_t rate, int16_t channels) override;
  int64_t Writable() override;
  bool Write(std::span<const int16_t> samples) override;
  int64_t PlayedFrames() override;
  void Drain() override;
  bool Drained() override;
  void Close() override;
  std::string LastError() const override { return lastError_; }

 private:
  static void OnState(pa_stream* stream, void* self);
  void CloseLocked();
  bool StreamGood() const;

  std::unique_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;
  pa_operation* drain_ = nullptr;
  int32_t rate_ = 0;
  int16_t channels_ = 1;
  std::string lastError_;
};
