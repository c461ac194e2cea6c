// The sleep inhibitor: logind's lock from a recording's start until its file is
// finished, or until the program quits; the portal without logind; with
// neither, recording goes on and both causes are kept. A recording and a
// scheduled wait share one lock.
#include <gtest/gtest.h>

#include "app/control/SystemSleepInhibitor.h"
#include "app/control/RecordingSleepGuard.h"
#include "tests/app/control/FakeRecorderControl.h"
#include "tests/app/control/FakeSleepServices.h"
#include "tests/support/EventLoopWait.h"

namespace {

using Holder = SystemSleepInhibitor::Holder;

TEST(SleepInhibitorWithLogind, LockIsHeldFromStartToTheFinishedFile) {
  FakeSleepServices logind(FakeSleepServices::kLogind);
  ASSERT_TRUE(logind.Published());
  SystemSleepInhibitor inhibitor;
  RecordingSleepGuard guard(inhibitor);
  FakeRecorderControl control;
  guard.Follow(control);

  control.Enter(RecorderState::Starting);
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Logind; }));
  ASSERT_EQ(logind.locks.size(), 1u);
  EXPECT_EQ(logind.locks[0].arguments, (QStringList{"sleep", "Tamblin", "正在录音", "block"}));
  for (RecorderState state : {RecorderState::Recording, RecorderState::Paused, RecorderState::Finishing}) {
    control.Enter(state);
    QCoreApplication::processEvents();
    EXPECT_FALSE(logind.Released(logind.locks[0])) << "released in state " << int(state);
  }
  control.Enter(RecorderState::Idle);
  EXPECT_TRUE(logind.Released(logind.locks[0]));
  EXPECT_EQ(logind.locks.size(), 1u);
}

TEST(SleepInhibitorWithLogind, QuitWhileRecordingReleasesTheLock) {
  FakeSleepServices logind(FakeSleepServices::kLogind);
  FakeRecorderControl control;
  {
    SystemSleepInhibitor inhibitor;
    RecordingSleepGuard guard(inhibitor);
    guard.Follow(control);
    control.Enter(RecorderState::Recording);
    ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Logind; }));
  }
  EXPECT_TRUE(logind.Released(logind.locks.at(0)));
  control.Enter(RecorderState::Idle);  // the guard is gone: its listener must not touch it
}

TEST(SleepInhibitorWithLogind, LockArrivingAfterTheReleaseIsDroppedAtOnce) {
  FakeSleepServices logind(FakeSleepServices::kLogind);
  SystemSleepInhibitor inhibitor;
  inhibitor.Acquire("正在录音");
  inhibitor.Release();  // before the answer could arrive
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::None; }));
  ASSERT_EQ(logind.locks.size(), 1u);
  EXPECT_TRUE(logind.Released(logind.locks[0]));
}

TEST(SleepInhibitorWithoutLogind, PortalInhibitsOnlySuspendUntilReleased) {
  FakeSleepServices portal(FakeSleepServices::kPortal);
  // No system bus at all, as in a container.
  SystemSleepInhibitor inhibitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-system-bus"));
  inhibitor.Acquire("等待定时录音");
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::Portal; }));
  EXPECT_EQ(portal.locks.at(0).arguments, (QStringList{"4", "等待定时录音"})) << "4: suspend; the screen may lock";
  inhibitor.Release();
  EXPECT_TRUE(WaitFor([&] { return portal.Released(portal.locks[0]); }));
  QDBusConnection::disconnectFromBus("no-system-bus");
}

TEST(SleepInhibitorWithoutAnyService, RecordingGoesOnAndBothCausesAreKept) {
  SystemSleepInhibitor inhibitor;
  inhibitor.Acquire("正在录音");
  ASSERT_TRUE(WaitFor([&] { return inhibitor.CurrentHolder() == Holder::None; }));
  const std::string error = inhibitor.ErrorText().toStdString();
  EXPECT_NE(error.find("org.freedesktop.login1"), std::string::npos) << error;
  EXPECT_NE(error.find("org.freedesktop.portal.Desktop"), std::string::npos) << error;
}

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
  control.Enter(RecorderState::Idle);
  EXPECT_EQ(inhibitor.releases, 1);
}

}  // namespace
