// PulseCaptureTime: when the audio server captured the end of what a record
// stream has delivered so far, from its timing information: now minus the
// stream's latency (the time since that byte was recorded). The stream needs
// PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE.
// Main loop thread (or with its lock held).
#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <optional>

class PulseCaptureTime {
 public:
  static constexpr pa_stream_flags_t kStreamFlags =
      static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);

  // Microseconds of pa_rtclock_now; nothing before the first timing update.
  static std::optional<int64_t> OfLastRead(pa_stream* stream);
};
