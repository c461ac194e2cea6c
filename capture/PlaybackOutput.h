// PlaybackOutput: where a take is played: a stream of 16-bit PCM to the
// default output. Narrow so the player can be driven by a fake in tests.
// One thread at a time.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class PlaybackOutput {
 public:
  virtual ~PlaybackOutput() = default;
  // Opens a stream of `channels` (1 or 2) at `rate` Hz, closing an open one.
  // Empty on success, else why not (the server's words).
  virtual std::string Open(int32_t rate, int16_t channels) = 0;
  // Frames the stream takes now without waiting; 0 when closed.
  virtual int64_t Writable() = 0;
  // Queues interleaved samples (at most Writable() frames). False when the
  // stream failed; LastError() says why.
  virtual bool Write(std::span<const int16_t> samples) = 0;
  // Frames played out so far since Open.
  virtual int64_t PlayedFrames() = 0;
  // No more will be written: plays what is queued to its end.
  virtual void Drain() = 0;
  // After Drain: everything queued has been played.
  virtual bool Drained() = 0;
  // Stops at once, dropping what is queued.
  virtual void Close() = 0;
  virtual std::string LastError() const = 0;
};
