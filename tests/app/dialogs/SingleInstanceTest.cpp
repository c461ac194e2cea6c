// SingleInstance: one copy per program folder. In one process two objects play
// the running and the later copy; the real executable, copied into a folder of
// its own, is started twice (the second start ends, the first stays) and then
// killed, leaving its lock for the next start to take over; that one, ended by
// SIGTERM, lets go of it.
#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  QString Lock(const QTemporaryDir& dir) const { return dir.path() + "/tamblin.lock"; }
  QTemporaryDir folder_;
};

TEST_F(SingleInstanceTest, LaterCopyInTheSameFolderAsksTheRunningOneToShow) {
  SingleInstance running(folder_.path(), Lock(folder_));
  int shown = 0;
  running.ShowRequested = [&] { ++shown; };
  ASSERT_EQ(running.Claim(), SingleInstance::ClaimResult::Running) << running.ErrorText().toStdString();

  // Another path to the same folder meets the same copy.
  SingleInstance later(folder_.path() + "/.", Lock(folder_));
  ASSERT_EQ(later.Claim(), SingleInstance::ClaimResult::AlreadyRunning);
  EXPECT_TRUE(later.AskRunningCopyToShow()) << later.ErrorText().toStdString();
  EXPECT_EQ(shown, 1);

  // A copy in another folder is on its own.
  QTemporaryDir other;
  SingleInstance elsewhere(other.path(), Lock(other));
  EXPECT_NE(SingleInstance::ServerName(other.path()), SingleInstance::ServerName(folder_.path()));
  EXPECT_EQ(elsewhere.Claim(), SingleInstance::ClaimResult::Running);
  EXPECT_EQ(shown, 1);
}

// The real program, copied into a program folder of its own.
class TamblinCopy {
 public:
  explicit TamblinCopy(const QString& executable) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PULSE_SERVER", "unix:/nonexistent-tamblin-test");  // no audio needed
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(executable, {});
  }
  ~TamblinCopy() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  QProcess& Process() { return process_; }

 private:
  QProcess process_;
};

TEST_F(SingleInstanceTest, SecondStartOfTheProgramEndsAndTheFirstKeepsRunning) {
  const QString executable = folder_.path() + "/tamblin";
  ASSERT_TRUE(QFile::copy(TAMBLIN_EXECUTABLE, executable));

  TamblinCopy first(executable);
  ASSERT_TRUE(first.Process().waitForStarted(10000));
  // Up once its socket answers (its window is asked to show); the probe never claims.
  SingleInstance probe(folder_.path(), Lock(folder_));
  ASSERT_TRUE(probe.AskRunningCopyToShow(std::chrono::seconds(20))) << probe.ErrorText().toStdString();

  TamblinCopy second(executable);
  ASSERT_TRUE(second.Process().waitForFinished(20000)) << "a second copy must not keep running";
  EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.Process().exitCode(), 0);
  EXPECT_EQ(first.Process().state(), QProcess::Running);

  // Killed as by a crash: the next start takes the lock over and answers later starts.
  first.Process().kill();
  ASSERT_TRUE(first.Process().waitForFinished(5000));
  TamblinCopy third(executable);
  ASSERT_TRUE(third.Process().waitForStarted(10000));
  ASSERT_TRUE(probe.AskRunningCopyToShow(std::chrono::seconds(20))) << probe.ErrorText().toStdString();
  EXPECT_EQ(third.Process().state(), QProcess::Running);

  // Ended by the system (logout, a plain kill): status 0 and the lock let go, as by the close box.
  ::kill(static_cast<pid_t>(third.Process().processId()), SIGTERM);
  ASSERT_TRUE(third.Process().waitForFinished(20000));
  EXPECT_EQ(third.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(third.Process().exitCode(), 0);
  EXPECT_FALSE(QFile::exists(Lock(folder_)));
}

}  // namespace
