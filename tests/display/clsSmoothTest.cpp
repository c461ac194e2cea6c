// Moving average of level readings: filling, wrap-around, restart, and the
// cases the main window never produces but must not crash on.
#include "display/clsSmooth.h"

#include <gtest/gtest.h>

TEST(clsSmooth, AveragesTheLastReadingsAndForgetsTheOldest) {
  clsSmooth s;
  s.SmoothNew(3);
  s.SmoothAdd(300);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 300);
  s.SmoothAdd(600);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 450);
  s.SmoothAdd(900);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 600);
  s.SmoothAdd(0);  // replaces 300
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 500);
  s.SmoothAdd(0);
  s.SmoothAdd(0);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 0);
}

TEST(clsSmooth, SizeOneFollowsTheLastReading) {
  clsSmooth s;
  s.SmoothNew(1);
  for (float v : {10.0f, 32768.0f, 7.0f}) {
    s.SmoothAdd(v);
    EXPECT_FLOAT_EQ(s.SmoothGetMax(), v);
  }
}

TEST(clsSmooth, SmoothNewRestartsTheAverage) {
  clsSmooth s;
  s.SmoothNew(3);
  s.SmoothAdd(1000);
  s.SmoothAdd(2000);
  s.SmoothNew(3);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 0);
  s.SmoothAdd(42);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 42);
}

TEST(clsSmooth, UnusualCallsGiveZeroOrTheLastReadingInsteadOfFailing) {
  clsSmooth fresh;
  EXPECT_FLOAT_EQ(fresh.SmoothGetMax(), 0);  // before SmoothNew
  fresh.SmoothAdd(5);                         // ignored, nothing to write into
  EXPECT_FLOAT_EQ(fresh.SmoothGetMax(), 0);

  clsSmooth s;
  s.SmoothNew(3);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 0);  // no reading yet: no 0 / 0

  s.SmoothNew(0);  // behaves as a history of one
  s.SmoothAdd(8);
  s.SmoothAdd(9);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 9);
  s.SmoothNew(-4);
  s.SmoothAdd(3);
  EXPECT_FLOAT_EQ(s.SmoothGetMax(), 3);
}
