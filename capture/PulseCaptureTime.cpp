// PulseCaptureTime: the stream's timing information on the monotonic clock.
#include "capture/PulseCaptureTime.h"

#include <pulse/rtclock.h>
#include <pulse/timeval.h>

std::optional<PulseCaptureTime::Reading> PulseCaptureTime::Latest(pa_stream* stream) {
  // Read before asking: the answer replaces what is read (on this thread, later).
  std::optional<Reading> reading = Current(stream);
  if (pa_operation* update = pa_stream_update_timing_info(stream, nullptr, nullptr)) pa_operation_unref(update);
  return reading;
}

std::optional<PulseCaptureTime::Reading> PulseCaptureTime::Current(pa_stream* stream) {
  const pa_timing_info* info = pa_stream_get_timing_info(stream);
  if (info == nullptr || info->write_index_corrupt != 0) return std::nullopt;
  // The timestamp is wall-clock time; its age moves it onto the monotonic clock.
  const auto takenAt = static_cast<int64_t>(pa_rtclock_now()) - static_cast<int64_t>(pa_timeval_age(&info->timestamp));
  return Reading{info->write_index, takenAt - static_cast<int64_t>(info->source_usec)};
}
