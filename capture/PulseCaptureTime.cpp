// PulseCaptureTime: pa_stream_get_latency against pa_rtclock_now.
#include "capture/PulseCaptureTime.h"

#include <pulse/rtclock.h>

std::optional<int64_t> PulseCaptureTime::OfLastRead(pa_stream* stream) {
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream, &latency, &negative) < 0) return std::nullopt;
  const auto now = static_cast<int64_t>(pa_rtclock_now());
  return negative != 0 ? now + static_cast<int64_t>(latency) : now - static_cast<int64_t>(latency);
}
