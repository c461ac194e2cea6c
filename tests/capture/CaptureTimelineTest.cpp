#include "capture/CaptureTimeline.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kBytesPerSecond = 192000;  // 48 kHz stereo
constexpr int64_t kFrameBytes = 4;

// Readings of input that comes in 50 ms bursts, each read a varying time
// (0 .. 9 ms) after its capture, from origin 1 s.
void NoteBurstyReadings(CaptureTimeline& timeline, int count) {
  timeline.Reset(kBytesPerSecond, kFrameBytes);
  for (int i = 1; i <= count; ++i) {
    const int64_t end = i * kBytesPerSecond / 20;
    timeline.Note(end, 1'000'000 + i * 50'000 + (i * 7919) % 10'000);
  }
}

// Readings `apartUsec` apart from `fromUsec` of input captured from 1 s on,
// which arrives in bursts of `burstUsec`: each reading is late by the time
// since its burst came.
void NoteReadingsOfBurstyInput(CaptureTimeline& timeline, int count, int64_t fromUsec, int64_t apartUsec,
                               int64_t burstUsec) {
  for (int i = 0; i < count; ++i) {
    const int64_t at = fromUsec + i * apartUsec;
    const int64_t arrived = (at - 1'000'000) / burstUsec * burstUsec;
    timeline.Note(arrived * kBytesPerSecond / 1'000'000 / kFrameBytes * kFrameBytes, at);
  }
}

}  // namespace

TEST(CaptureTimelineTest, ReadingsThatOnlyErrLateGiveTheEarliestCaptureTime) {
  CaptureTimeline timeline;
  EXPECT_FALSE(timeline.CapturedAtUsec(0).has_value());
  NoteBurstyReadings(timeline, 30);
  timeline.Note(0, 900'000);  // taken before the input began: no capture time
  // Byte 0 was captured at 1 s; no reading was on time, but one was close.
  EXPECT_NEAR(static_cast<double>(*timeline.CapturedAtUsec(0)), 1'000'000, 1'000);
  EXPECT_NEAR(*timeline.PositionAt(1'500'000), kBytesPerSecond / 2, kBytesPerSecond / 1000);
}

TEST(CaptureTimelineTest, InputMuchLaterThanItsTimingSaysIsAGapOfThatLength) {
  CaptureTimeline timeline;
  NoteBurstyReadings(timeline, 30);
  const int64_t end = 31 * kBytesPerSecond / 20;
  // Late by no more than a burst's jitter: no gap.
  EXPECT_EQ(timeline.GapBefore(end, 1'000'000 + 31 * 50'000 + 9'000), 0);
  // A second late: a second of whole frames missing.
  const int64_t gap = timeline.GapBefore(end, 1'000'000 + 31 * 50'000 + 1'000'000);
  EXPECT_EQ(gap % kFrameBytes, 0);
  EXPECT_NEAR(static_cast<double>(gap), kBytesPerSecond, kBytesPerSecond / 100);
}

TEST(CaptureTimelineTest, ReadingsInQuickSuccessionGiveTheCaptureTimeAtOnceAndGiveWayToLaterOnes) {
  CaptureTimeline timeline;
  timeline.Reset(kBytesPerSecond, kFrameBytes);
  // 50 ms of readings a quarter ms apart, of input in 21 ms bursts: a few
  // come just after a burst, none of the last twenty does.
  NoteReadingsOfBurstyInput(timeline, 200, 1'001'000, 250, 21'333);
  EXPECT_NEAR(static_cast<double>(*timeline.CapturedAtUsec(0)), 1'000'000, 300);

  // Seconds on, the device's clock has drifted by 2 ms: the start's readings no longer count.
  for (int i = 1; i <= 30; ++i) {
    const int64_t end = (80 + i) * kBytesPerSecond / 20;
    timeline.Note(end, 1'002'000 + (80 + i) * 50'000);
  }
  EXPECT_NEAR(static_cast<double>(*timeline.CapturedAtUsec(0)), 1'002'000, 1);
}
