// RecordingSchedule: when a recording starts and stops without a click, as set
// on the "定时/触发" page. Pure logic on an injectable clock: the window calls
// Tick with the recorder's state and the file's size, and performs the action
// it returns through the recorder's verbs. A stop after a duration or at a size
// is the recorder's own, to the sample: handed over with the start (or to a
// recording already running, HandOverEnd); only a stop at a time of day comes
// from the clock here. Kept in memory only: a restart forgets it. Window's
// thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/recording/RecorderState.h"

class RecordingSchedule {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  using TimePoint = std::chrono::system_clock::time_point;

  struct Plan {
    enum class Start { Now, At, After };
    enum class Stop { Never, After, At, Size };

    Start start = Start::Now;
    TimePoint startAt{};                    // Start::At
    std::chrono::seconds startDelay{0};     // Start::After, counted from Arm
    Stop stop = Stop::Never;
    std::chrono::seconds stopAfter{0};      // Stop::After, counted from when the recording runs
    TimePoint stopAt{};                     // Stop::At
    int64_t stopBytes = 0;                  // Stop::Size: the file reaching this many bytes

    // Start now and stop by hand: nothing to do, the program runs as without a schedule.
    bool IsEmpty() const { return start == Start::Now && stop == Stop::Never; }
    friend bool operator==(const Plan&, const Plan&) = default;
  };

  // HandOverEnd: a recording started by hand runs already; it is to end as the plan's stop says.
  enum class Action { None, Start, Stop, HandOverEnd };
  enum class Phase { Off, WaitingToStart, Starting, Running };

  explicit RecordingSchedule(Clock clock = std::chrono::system_clock::now);

  // When `plan`, armed at `now`, is due to start (a due time already past starts it at once).
  static TimePoint StartTime(const Plan& plan, TimePoint now);
  // True when `plan`, armed at `now`, stops at a time no later than its start,
  // or after no time at all: it would record nothing or a moment, so it is refused.
  static bool StopsBeforeItStarts(const Plan& plan, TimePoint now);

  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // Replaces any schedule; an empty plan just cancels.
  void Arm(const Plan& plan);
  void Cancel();
  // What to do now, given the recorder's state. A start that comes back to
  // Idle clears the schedule, so a refused start (no device, full disk) is
  // reported once.
  Action Tick(RecorderState state);

  Phase CurrentPhase() const { return phase_; }
  bool Armed() const { return phase_ != Phase::Off; }
  bool StartPending() const { return phase_ == Phase::WaitingToStart; }
  const Plan& ArmedPlan() const { return plan_; }
  // Time left until the pending start, or until a timed stop; none otherwise.
  std::optional<std::chrono::seconds> Remaining() const;

 private:
  Action StartDue(RecorderState state);
  void BeginRunning();
  Action RunningTick(RecorderState state);
  bool StopDue() const;
  static bool Runs(RecorderState state);

  Clock clock_;
  Plan plan_;
  Phase phase_ = Phase::Off;
  TimePoint startTarget_{};
  TimePoint stopTarget_{};  // timed stops, fixed once the recording runs
};
