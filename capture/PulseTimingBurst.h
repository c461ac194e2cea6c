// PulseTimingBurst: asks the audio server for a record stream's timing again
// and again right after the stream starts, so its capture clock has a full
// window of readings within tens of milliseconds instead of one per delivery
// (a second or more). kReadings answers come kApart apart: a reading errs
// late by up to one of the source's bursts of input, and readings spread
// across a few bursts include some taken just after one.
//
// Threads: Start and Stop with the main loop lock held; `note` runs on the
// main loop thread at each answer. The stream outlives the burst (Stop it
// before the stream goes).
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>

class PulseTimingBurst {
 public:
  // Notes the stream's fresh timing; true when it counted (the stream had input).
  using Note = std::function<bool()>;
  static constexpr std::chrono::microseconds kApart{250};
  static constexpr int kReadings = 200;
  // A source with no input yet is not asked for ever.
  static constexpr int kMaxAnswers = 20 * kReadings;

  PulseTimingBurst() = default;
  ~PulseTimingBurst() { Stop(); }
  PulseTimingBurst(const PulseTimingBurst&) = delete;
  PulseTimingBurst& operator=(const PulseTimingBurst&) = delete;

  // Asks now, and again kApart after each answer until kReadings counted.
  void Start(pa_stream* stream, pa_mainloop_api* mainloop, Note note);
  void Stop();

 private:
  static void OnAnswer(pa_stream* stream, int success, void* self);
  static void OnTimer(pa_mainloop_api* mainloop, pa_time_event* timer, const struct timeval* at, void* self);
  void Ask();
  void AskLater();

  pa_stream* stream_ = nullptr;
  pa_mainloop_api* mainloop_ = nullptr;
  Note note_;
  pa_operation* pending_ = nullptr;
  pa_time_event* timer_ = nullptr;
  int readings_ = 0;
  int answers_ = 0;
};
