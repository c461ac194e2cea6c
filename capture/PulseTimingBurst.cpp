// PulseTimingBurst: timing requests, one answer and a pause apart.
#include "capture/PulseTimingBurst.h"

#include <pulse/rtclock.h>

#include <utility>

void PulseTimingBurst::Start(pa_stream* stream, pa_mainloop_api* mainloop, Note note) {
  Stop();
  stream_ = stream;
  mainloop_ = mainloop;
  note_ = std::move(note);
  readings_ = answers_ = 0;
  Ask();
}

void PulseTimingBurst::Stop() {
  if (pending_ != nullptr) {
    pa_operation_cancel(pending_);
    pa_operation_unref(pending_);
    pending_ = nullptr;
  }
  if (timer_ != nullptr) {
    mainloop_->time_free(timer_);
    timer_ = nullptr;
  }
  stream_ = nullptr;
}

void PulseTimingBurst::Ask() {
  pending_ = pa_stream_update_timing_info(stream_, &PulseTimingBurst::OnAnswer, this);
}

void PulseTimingBurst::AskLater() {
  const pa_usec_t at = pa_rtclock_now() + static_cast<pa_usec_t>(kApart.count());
  pa_context* context = pa_stream_get_context(stream_);
  if (timer_ == nullptr) {
    timer_ = pa_context_rttime_new(context, at, &PulseTimingBurst::OnTimer, this);
  } else {
    pa_context_rttime_restart(context, timer_, at);
  }
}

void PulseTimingBurst::OnAnswer(pa_stream*, int success, void* self) {
  auto* burst = static_cast<PulseTimingBurst*>(self);
  pa_operation_unref(std::exchange(burst->pending_, nullptr));
  // A stream that cannot answer (it failed or went) has no timing to gather.
  if (success == 0) return;
  if (burst->note_()) ++burst->readings_;
  if (burst->readings_ < kReadings && ++burst->answers_ < kMaxAnswers) burst->AskLater();
}

void PulseTimingBurst::OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
  static_cast<PulseTimingBurst*>(self)->Ask();
}
