// CaptureClock: when the audio server captured a given byte of an input, in
// microseconds of the machine's monotonic clock (the one libpulse's
// pa_rtclock_now reads, shared with the local server). Two inputs' clocks
// lay their samples side by side: a sound that reached both at one moment has
// the same capture time in each.
// Any thread.
#pragma once

#include <cstdint>
#include <optional>

class CaptureClock {
 public:
  virtual ~CaptureClock() = default;

  // When received byte `position` (counted as the input's ReceivedBytes) was
  // captured; nothing while the input has no timing yet (not open, or
  // nothing received).
  virtual std::optional<int64_t> CapturedAtUsec(int64_t position) const = 0;
};
