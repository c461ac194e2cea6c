// The schedule on a clock the test turns: each way to start and to stop, a
// recording started or stopped by hand meanwhile, cancelling, and a refused
// start that clears the schedule instead of trying again.
#include "app/handsfree/RecordingSchedule.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Action = RecordingSchedule::Action;
using Plan = RecordingSchedule::Plan;
using State = RecorderState;

// Starts after `delay`; stops after `duration` of recording, or by hand when zero.
Plan Delayed(std::chrono::seconds delay, std::chrono::seconds duration = 0s) {
  Plan plan;
  plan.start = Plan::Start::After;
  plan.startDelay = delay;
  if (duration > 0s) {
    plan.stop = Plan::Stop::After;
    plan.stopAfter = duration;
  }
  return plan;
}

class RecordingScheduleTest : public ::testing::Test {
 protected:
  RecordingScheduleTest() : schedule_([this] { return now_; }) {}

  // Ticks as the window does until the recorder runs: the start is clicked, then capture runs.
  void StartAndRun() {
    ASSERT_EQ(schedule_.Tick(State::Idle), Action::Start);
    EXPECT_EQ(schedule_.Tick(State::Starting), Action::None);
    EXPECT_EQ(schedule_.Tick(State::Recording), Action::None);
  }

  RecordingSchedule::TimePoint now_{std::chrono::hours{500000}};
  RecordingSchedule schedule_;
};

TEST_F(RecordingScheduleTest, StartsAtTheTimeAndNotBefore) {
  Plan at;
  at.start = Plan::Start::At;
  at.startAt = now_ + 90s;
  schedule_.Arm(at);
  EXPECT_EQ(schedule_.Remaining(), 90s);
  now_ += 89500ms;
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::None);
  EXPECT_EQ(schedule_.Remaining(), 1s);  // rounded up
  now_ += 500ms;
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::Start);
  EXPECT_FALSE(schedule_.Armed()) << "stop by hand: nothing left to do";
}

TEST_F(RecordingScheduleTest, StopsAfterTheDurationCountedFromTheRecordingsStart) {
  schedule_.Arm(Delayed(5s, 60s));
  now_ += 5s;
  ASSERT_EQ(schedule_.Tick(State::Idle), Action::Start);
  now_ += 2s;  // the start took a while
  EXPECT_EQ(schedule_.Tick(State::Starting), Action::None);
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::None);
  EXPECT_EQ(schedule_.Remaining(), 60s);
  now_ += 59s;
  EXPECT_EQ(schedule_.Tick(State::Paused), Action::None) << "a pause does not end the schedule";
  now_ += 1s;
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::None) << "the recorder ends it, to the sample";
  EXPECT_EQ(schedule_.Tick(State::Finishing), Action::None);
  EXPECT_FALSE(schedule_.Armed());
}

TEST_F(RecordingScheduleTest, StopsAtTheTimeOfDayAndLeavesTheSizeToTheRecorder) {
  Plan at;
  at.stop = Plan::Stop::At;
  at.stopAt = now_ + 30s;
  schedule_.Arm(at);
  StartAndRun();
  now_ += 29s;
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::None);
  now_ += 1s;
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::Stop);

  Plan size;
  size.stop = Plan::Stop::Size;
  size.stopBytes = 1000000;
  schedule_.Arm(size);
  StartAndRun();
  EXPECT_FALSE(schedule_.Remaining()) << "no countdown for a size";
  now_ += 24h;
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::None) << "the recorder ends it at the size";
  EXPECT_TRUE(schedule_.Armed());
}

TEST_F(RecordingScheduleTest, CancelAnEmptyPlanAndARefusedStartLeaveNothingToDo) {
  schedule_.Arm(Delayed(1s));
  schedule_.Cancel();
  now_ += 1h;
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::None);

  schedule_.Arm(Delayed(1s));
  schedule_.Arm(Plan{});  // start now, stop by hand: the program as without a schedule
  EXPECT_FALSE(schedule_.Armed());

  schedule_.Arm(Delayed(1s, 10s));
  now_ += 1s;
  ASSERT_EQ(schedule_.Tick(State::Idle), Action::Start);
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::None) << "no device or a full disk: back to Idle";
  EXPECT_FALSE(schedule_.Armed()) << "its message came once; no retry";
  now_ += 1h;
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::None);
}

TEST_F(RecordingScheduleTest, RecordingRunByHandIsNeverToggledTheWrongWay) {
  const Plan plan = Delayed(10s, 20s);
  schedule_.Arm(plan);
  now_ += 10s;
  // Started by hand meanwhile: a click now would stop it; its stop follows the schedule.
  EXPECT_EQ(schedule_.Tick(State::Recording), Action::HandOverEnd);
  EXPECT_EQ(schedule_.Remaining(), 20s);
  now_ += 5s;
  // Stopped by hand before the timed stop: a later click would start a new recording.
  EXPECT_EQ(schedule_.Tick(State::Finishing), Action::None);
  EXPECT_FALSE(schedule_.Armed());
  now_ += 1h;
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::None);

  schedule_.Arm(plan);
  now_ += 10s;
  // The previous file still finishing: the start waits for it instead of being lost.
  EXPECT_EQ(schedule_.Tick(State::Finishing), Action::None);
  EXPECT_TRUE(schedule_.StartPending());
  EXPECT_EQ(schedule_.Tick(State::Idle), Action::Start);
}

}  // namespace
