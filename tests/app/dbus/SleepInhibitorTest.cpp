// The sleep inhibitor: logind's lock is taken when a recording starts and
// closed when it ends or the program quits; the portal stands in without
// logind; with neither, recording goes on and the reason is kept. The guard
// shares one lock between a recording and a scheduled wait.
#include <gtest/gtest.h>

#include <memory>

#include "app/bus/SystemSleepInhibitor.h"
#include "app/recording/RecordingSleepGuard.h"
#include "tests/app/dbus/FakeLogind.h"
#include "tests/app/dbus/FakePortal.h"
#include "tests/app/dbus/FakeRecorderControl.h"
#include "tests/support/EventLoopWait.h"

namespace {

using Holder = SystemSleepInhibitor::Holder;

TEST(SleepInhibitorWithLogind, LockIsHeldFromStartToTheFinishedFile) {
  FakeLogind logind;
  ASSERT_TRUE(logind.Published());
  SystemSleepInhibitor inhibitor;
  RecordingSleepGuard guard(inhibitor);
  FakeRecorderControl control;
  guard.Follow(control);
  EXPECT_TRUE(logind.calls.empty());

  control.Enter(RecorderState::Starting);
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Logind; }));
  ASSERT_EQ(logind.calls.size(), 1u);
  EXPECT_EQ(logind.calls[0].arguments, (QStringList{"sleep", "Tamblin", "正在录音", "block"}));
  for (RecorderState state : {RecorderState::Recording, RecorderState::Paused, RecorderState::Finishing}) {
    control.Enter(state);
    QCoreApplication::processEvents();
    EXPECT_FALSE(logind.LockReleased(logind.calls[0])) << "released in state " << int(state);
  }
  control.Enter(RecorderState::Idle);
  EXPECT_TRUE(logind.LockReleased(logind.calls[0]));
  EXPECT_EQ(logind.calls.size(), 1u);
}

TEST(SleepInhibitorWithLogind, QuitWhileRecordingReleasesTheLock) {
  FakeLogind logind;
  FakeRecorderControl control;
  {
    SystemSleepInhibitor inhibitor;
    RecordingSleepGuard guard(inhibitor);
    guard.Follow(control);
    control.Enter(RecorderState::Recording);
    ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Logind; }));
  }
  ASSERT_EQ(logind.calls.size(), 1u);
  EXPECT_TRUE(logind.LockReleased(logind.calls[0]));
  control.Enter(RecorderState::Idle);  // the guard is gone: its listener must not touch it
}

TEST(SleepInhibitorWithLogind, LockArrivingAfterTheReleaseIsDroppedAtOnce) {
  FakeLogind logind;
  SystemSleepInhibitor inhibitor;
  inhibitor.Acquire("正在录音");
  inhibitor.Release();  // before the answer could arrive
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::None; }));
  ASSERT_EQ(logind.calls.size(), 1u);
  EXPECT_TRUE(logind.LockReleased(logind.calls[0]));
}

TEST(SleepInhibitorWithoutLogind, PortalInhibitsSuspendUntilReleased) {
  FakePortal portal;
  ASSERT_TRUE(portal.Published());
  // No system bus at all, as in a container.
  SystemSleepInhibitor inhibitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-system-bus"));
  inhibitor.Acquire("等待定时录音");
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Portal; }));
  ASSERT_EQ(portal.calls.size(), 1u);
  EXPECT_EQ(portal.calls[0].flags, 4u) << "suspend only: the screen may still lock";
  EXPECT_EQ(portal.calls[0].reason, "等待定时录音");

  inhibitor.Release();
  EXPECT_TRUE(WaitFor([&] { return portal.calls[0].closed; }));
  QDBusConnection::disconnectFromBus("no-system-bus");
}

TEST(SleepInhibitorWithoutAnyService, RecordingGoesOnAndBothCausesAreKept) {
  SystemSleepInhibitor inhibitor;
  inhibitor.Acquire("正在录音");
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::None; }));
  const std::string error = inhibitor.ErrorText().toStdString();
  EXPECT_NE(error.find("org.freedesktop.login1"), std::string::npos) << error;
  EXPECT_NE(error.find("org.freedesktop.portal.Desktop"), std::string::npos) << error;
  inhibitor.Release();
  EXPECT_EQ(inhibitor.CurrentHolder(), Holder::None);
}

// Counts what the guard asks of the platform.
class CountingInhibitor : public SleepInhibitor {
 public:
  void Acquire(const QString& reason) override { reasons.push_back(reason); }
  void Release() override { ++releases; }
  std::vector<QString> reasons;
  int releases = 0;
};

TEST(RecordingSleepGuard, ScheduledWaitAndRecordingShareOneLock) {
  CountingInhibitor inhibitor;
  FakeRecorderControl control;
  RecordingSleepGuard guard(inhibitor);
  guard.Follow(control);
  guard.Hold("等待定时录音");
  control.Enter(RecorderState::Starting);
  guard.Release();  // the wait is over; the recording still needs the machine
  guard.Release();  // one too many: must not end the recording's hold
  control.Enter(RecorderState::Recording);
  EXPECT_EQ(inhibitor.reasons, std::vector<QString>{"等待定时录音"});
  EXPECT_EQ(inhibitor.releases, 0);
  EXPECT_TRUE(guard.Holding());

  control.Enter(RecorderState::Idle);
  EXPECT_EQ(inhibitor.releases, 1);
  EXPECT_FALSE(guard.Holding());
}

TEST(RecordingSleepGuard, FollowingARecordingAlreadyRunningHoldsAtOnce) {
  CountingInhibitor inhibitor;
  FakeRecorderControl control;
  control.status.state = RecorderState::Paused;
  {
    RecordingSleepGuard guard(inhibitor);
    guard.Follow(control);
    EXPECT_EQ(inhibitor.reasons.size(), 1u);
  }
  EXPECT_EQ(inhibitor.releases, 1) << "the guard's end releases what it held";
}

}  // namespace
