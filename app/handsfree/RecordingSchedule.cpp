#include "app/handsfree/RecordingSchedule.h"

#include <algorithm>

using std::chrono::seconds;

RecordingSchedule::RecordingSchedule(Clock clock) : clock_(std::move(clock)) {}

void RecordingSchedule::Arm(const Plan& plan) {
  Cancel();
  if (plan.IsEmpty()) return;
  plan_ = plan;
  startTarget_ = StartTime(plan, clock_());
  phase_ = Phase::WaitingToStart;
}

RecordingSchedule::TimePoint RecordingSchedule::StartTime(const Plan& plan, TimePoint now) {
  switch (plan.start) {
    case Plan::Start::Now: return now;
    case Plan::Start::At: return plan.startAt;
    case Plan::Start::After: return now + plan.startDelay;
  }
  return now;
}

bool RecordingSchedule::StopsBeforeItStarts(const Plan& plan, TimePoint now) {
  // A start time already past starts at once.
  if (plan.stop == Plan::Stop::After) return plan.stopAfter <= seconds{0};
  return plan.stop == Plan::Stop::At && plan.stopAt <= std::max(StartTime(plan, now), now);
}

void RecordingSchedule::Cancel() {
  phase_ = Phase::Off;
  plan_ = Plan{};
}

RecordingSchedule::Action RecordingSchedule::Tick(RecorderState state) {
  switch (phase_) {
    case Phase::Off: return Action::None;
    case Phase::WaitingToStart: return clock_() >= startTarget_ ? StartDue(state) : Action::None;
    case Phase::Starting:
      if (state == RecorderState::Starting) return Action::None;
      if (!Runs(state)) {
        Cancel();  // refused: its message is out, a retry would only repeat it
        return Action::None;
      }
      BeginRunning();
      return RunningTick(state);
    case Phase::Running: return RunningTick(state);
  }
  return Action::None;
}

RecordingSchedule::Action RecordingSchedule::StartDue(RecorderState state) {
  // A start or stop on its way: wait until it has settled.
  if (state == RecorderState::Starting || state == RecorderState::Finishing) return Action::None;
  const bool idle = AtRest(state);
  if (plan_.stop == Plan::Stop::Never) {
    Cancel();  // nothing left to do once started
  } else if (idle) {
    phase_ = Phase::Starting;
  } else {
    BeginRunning();
    // A recording started by hand meanwhile goes on, and ends as planned.
    return Action::HandOverEnd;
  }
  return idle ? Action::Start : Action::None;
}

void RecordingSchedule::BeginRunning() {
  stopTarget_ = plan_.stop == Plan::Stop::At ? plan_.stopAt : clock_() + plan_.stopAfter;
  phase_ = Phase::Running;
}

RecordingSchedule::Action RecordingSchedule::RunningTick(RecorderState state) {
  if (!Runs(state)) {
    Cancel();  // stopped by hand, by a failure or finishing: the schedule is done
    return Action::None;
  }
  if (!StopDue()) return Action::None;
  Cancel();
  return Action::Stop;
}

bool RecordingSchedule::StopDue() const {
  switch (plan_.stop) {
    case Plan::Stop::Never:
    case Plan::Stop::After:  // the recorder's own, to the sample
    case Plan::Stop::Size: return false;
    case Plan::Stop::At: return clock_() >= stopTarget_;
  }
  return false;
}

bool RecordingSchedule::Runs(RecorderState state) { return TakeRuns(state); }

std::optional<seconds> RecordingSchedule::Remaining() const {
  const auto left = [this](TimePoint target) {
    // Rounded up: the countdown reads 0:00:01 until the moment itself.
    const auto rest = std::chrono::ceil<seconds>(target - clock_());
    return std::max(rest, seconds{0});
  };
  if (phase_ == Phase::WaitingToStart) return left(startTarget_);
  const bool timedStop = plan_.stop == Plan::Stop::After || plan_.stop == Plan::Stop::At;
  if (phase_ == Phase::Running && timedStop) return left(stopTarget_);
  return std::nullopt;
}
