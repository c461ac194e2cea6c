// PulseCaptureTime: when the audio server captured a record stream's input,
// from its latest timing information: the bytes it had queued for us (the
// stream's write index) ended with one captured the source's latency before
// the information was taken. Each call also asks for fresh information, so
// readings fall at many points of the input's bursts.
// Main loop thread (or with its lock held); the stream needs kStreamFlags.
#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <optional>

class PulseCaptureTime {
 public:
  static constexpr pa_stream_flags_t kStreamFlags = PA_STREAM_AUTO_TIMING_UPDATE;

  struct Reading {
    int64_t streamBytes = 0;     // the stream's write index
    int64_t capturedAtUsec = 0;  // of its last byte, on pa_rtclock_now's clock
  };
  // Nothing before the first timing update. Asks for the next one.
  static std::optional<Reading> Latest(pa_stream* stream);
  // As Latest, asking nothing (the caller asks in its own way).
  static std::optional<Reading> Current(pa_stream* stream);
};
