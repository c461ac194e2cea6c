// SingleInstance: one copy per program folder. In one process two objects play
// the running and the later copy; the real executable, copied into a folder of
// its own, is started twice (the second start ends, the first stays) and then
// killed, leaving its lock for the next start to take over; that one, ended by
// SIGTERM, lets go of it. The channel between them lies in a private folder,
// serves only the same user and holds a few descriptors whatever connects.
#include "app/platform/SingleInstance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/platform/LocalRequestClient.h"
#include "app/platform/LocalRequestServer.h"
#include "app/platform/UserRuntimeFolder.h"

namespace {

using ::testing::HasSubstr;

class SingleInstanceTest : public ::testing::Test {
 protected:
  // Sockets go to a runtime folder of the test's own (the program copies inherit it).
  void SetUp() override {
    savedRuntimeDir_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
  }
  void TearDown() override { qputenv("XDG_RUNTIME_DIR", savedRuntimeDir_); }

  QString Lock(const QTemporaryDir& dir) const { return dir.path() + "/tamblin.lock"; }
  QTemporaryDir runtime_;
  QTemporaryDir folder_;
  QByteArray savedRuntimeDir_;
};

TEST_F(SingleInstanceTest, LaterCopyInTheSameFolderAsksTheRunningOneToShow) {
  SingleInstance running(folder_.path(), Lock(folder_));
  int shown = 0;
  running.OnShowRequested([&] { ++shown; });
  ASSERT_EQ(running.Claim(), SingleInstance::ClaimResult::Running) << running.ErrorText().toStdString();
  EXPECT_EQ(QFileInfo(running.SocketPath()).absolutePath(), runtime_.path());

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

// A later start that only asks (--status, --stop ...) looks at the lock without
// taking it: a copy starting at that moment still becomes the running one,
// where a lock taken for a moment made it give up as a second copy.
TEST_F(SingleInstanceTest, AskingWithoutClaimingNeverTakesTheLock) {
  SingleInstance asking(folder_.path(), Lock(folder_));
  EXPECT_FALSE(asking.HeldByLiveCopy());
  EXPECT_FALSE(QFile::exists(Lock(folder_)));
  {
    SingleInstance starting(folder_.path(), Lock(folder_));
    ASSERT_EQ(starting.Claim(), SingleInstance::ClaimResult::Running) << starting.ErrorText().toStdString();
    EXPECT_TRUE(asking.HeldByLiveCopy());
    starting.OnCommandRequested([](const QByteArray& request) { return "done " + request + '\n'; });
    EXPECT_EQ(asking.AskRunningCopy("status\n", std::chrono::minutes(1)), QByteArray("done status\n"));
  }
  EXPECT_FALSE(asking.HeldByLiveCopy());  // let go at the end
}

// The mode of `path` itself when it is a folder, else -1.
int FolderMode(const QString& path) {
  struct stat status {};
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode)) return -1;
  return status.st_mode & 07777;
}

TEST(UserRuntimeFolderTest, RuntimeFolderOrAFallbackOfOurOwnAndOnlyWhenPrivate) {
  QTemporaryDir runtime, temp;
  const uid_t me = ::getuid();
  const QString fallback = temp.path() + "/tamblin-" + QString::number(me), link = temp.path() + "/link";
  ASSERT_EQ(::symlink(QFile::encodeName(runtime.path()).constData(), QFile::encodeName(link).constData()), 0);
  QString error;
  EXPECT_EQ(UserRuntimeFolder::Locate(runtime.path(), temp.path(), me, &error), runtime.path());
  for (const QString& refused : {QString(), QString("relative"), link}) {
    EXPECT_EQ(UserRuntimeFolder::Locate(refused, temp.path(), me, &error), fallback) << refused.toStdString();
  }
  EXPECT_EQ(FolderMode(fallback), 0700);
  // Another user's (tests cannot be another user: we pose as one).
  EXPECT_EQ(UserRuntimeFolder::Locate(runtime.path(), temp.path(), me + 1, &error), QString());

  // A fallback that is anything but a real folder of ours with mode 0700 is refused and left as it is.
  const std::function<void(const char*)> traps[] = {
      [](const char* path) { ::mkdir(path, 0755); },
      [&](const char* path) { ::symlink(QFile::encodeName(runtime.path()).constData(), path); },
      [](const char* path) { QFile(path).open(QIODevice::WriteOnly); },
  };
  for (const auto& trap : traps) {
    QTemporaryDir other;
    const QString trapped = other.path() + "/tamblin-" + QString::number(me);
    trap(QFile::encodeName(trapped).constData());
    EXPECT_EQ(UserRuntimeFolder::Locate({}, other.path(), me, &error), QString());
    EXPECT_THAT(error.toStdString(), HasSubstr(trapped.toStdString()));
    EXPECT_NE(FolderMode(trapped), 0700);  // not repaired
  }
}

// Descriptors this process holds.
std::ptrdiff_t OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

// A raw connection to `path` that never sends; -1 when it cannot be made. A full
// listen queue is left to the server, on this thread's event loop, to drain.
int IdleConnection(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return descriptor;
    const int cause = errno;
    ::close(descriptor);
    if (cause != EAGAIN) return -1;
    QCoreApplication::processEvents();
  }
  return -1;
}

TEST_F(SingleInstanceTest, IdleConnectionsHoldFewDescriptorsAndALaterStartIsStillAnswered) {
  SingleInstance running(folder_.path(), Lock(folder_));
  int shown = 0;
  running.OnShowRequested([&] { ++shown; });
  ASSERT_EQ(running.Claim(), SingleInstance::ClaimResult::Running) << running.ErrorText().toStdString();
  SingleInstance later(folder_.path(), Lock(folder_));
  ASSERT_EQ(later.Claim(), SingleInstance::ClaimResult::AlreadyRunning);
  ASSERT_TRUE(later.AskRunningCopyToShow()) << later.ErrorText().toStdString();  // what opens once is open
  const std::ptrdiff_t baseline = OpenDescriptors();

  std::vector<int> idle;
  const auto closeIdle = qScopeGuard([&] { std::for_each(idle.begin(), idle.end(), ::close); });
  // The test's own ends of the idle connections are not counted.
  const auto listenerDescriptors = [&] { return OpenDescriptors() - std::ptrdiff_t(idle.size()); };
  std::ptrdiff_t peak = baseline;
  for (int i = 0; i < 300; ++i) {
    idle.push_back(IdleConnection(running.SocketPath()));
    ASSERT_GE(idle.back(), 0) << std::strerror(errno);
    QCoreApplication::processEvents();
    peak = std::max(peak, listenerDescriptors());
  }
  EXPECT_TRUE(later.AskRunningCopyToShow(std::chrono::minutes(2))) << later.ErrorText().toStdString();
  EXPECT_EQ(shown, 2);
  // A handful for the listener's own few connections, not one per idle client.
  EXPECT_LE(std::max(peak, listenerDescriptors()), baseline + 10);
}

// An answer that works as a start does: waits in a loop of its own for `time`.
void WorkInALoopFor(std::chrono::milliseconds time) {
  QEventLoop loop;
  QTimer::singleShot(time, &loop, &QEventLoop::quit);
  loop.exec();
}

// A verb's answer may take longer than the request line may (a start on a slow
// disk, then the question whether to replace a file): it runs once, in loops
// of its own that cannot pull its connection away, and its answer arrives.
// A verb that reached the copy is never sent again, answered or not.
TEST_F(SingleInstanceTest, AVerbRunsOnceHoweverLongItsAnswerTakes) {
  SingleInstance asking(folder_.path(), Lock(folder_));
  LocalRequestServer running;
  int asked = 0;
  running.Answer = [&](const QByteArray& request) -> QByteArray {
    ++asked;
    WorkInALoopFor(LocalRequestServer::kRequestTime + std::chrono::milliseconds(500));  // the start
    WorkInALoopFor(std::chrono::milliseconds(10));                                       // the question box
    return request == "silent" ? QByteArray() : "done " + request + '\n';
  };
  ASSERT_TRUE(running.Listen(asking.SocketPath())) << running.ErrorText().toStdString();
  EXPECT_EQ(asking.AskRunningCopy("start\n", std::chrono::minutes(1)), QByteArray("done start\n"));
  EXPECT_EQ(asked, 1);

  asked = 0;
  EXPECT_EQ(asking.AskRunningCopy("silent\n", std::chrono::seconds(10)), QByteArray());
  EXPECT_EQ(asked, 1) << "sent again after the copy closed without an answer";
}

// A copy still loading holds a request until it can answer it; one turned away
// for lack of room is asked again; a copy without verbs refuses them all at once.
TEST_F(SingleInstanceTest, RequestsWaitForTheLoadedCopyAndACopyWithoutVerbsRefusesThem) {
  SingleInstance running(folder_.path(), Lock(folder_));
  ASSERT_EQ(running.Claim(), SingleInstance::ClaimResult::Running) << running.ErrorText().toStdString();
  SingleInstance later(folder_.path(), Lock(folder_));
  int asked = 0;
  const auto answer = [&](const QByteArray& request) { return ++asked, "done " + request + '\n'; };
  QTimer::singleShot(LocalRequestServer::kRequestTime * 2, [&] { running.OnCommandRequested(answer); });
  EXPECT_EQ(later.AskRunningCopy("status\n", std::chrono::minutes(1)), QByteArray("done status\n"));
  EXPECT_EQ(asked, 1);

  std::vector<int> idle;
  const auto closeIdle = qScopeGuard([&] { std::for_each(idle.begin(), idle.end(), ::close); });
  for (int i = 0; i < LocalRequestServer::kMaxConnections; ++i) idle.push_back(IdleConnection(running.SocketPath()));
  EXPECT_EQ(later.AskRunningCopy("stop\n", std::chrono::minutes(1)), QByteArray("done stop\n")) << later.ErrorText().toStdString();
  EXPECT_EQ(asked, 2);

  // A copy with no window: the window is refused at once, the verbs still answered.
  running.RefuseShowRequests("此文件夹中正在进行终端录音");
  EXPECT_FALSE(later.AskRunningCopyToShow(std::chrono::seconds(10)));
  EXPECT_EQ(later.ErrorText(), QString("此文件夹中正在进行终端录音"));
  EXPECT_EQ(later.AskRunningCopy("status\n", std::chrono::seconds(10)), QByteArray("done status\n"));
  EXPECT_EQ(asked, 3);
}

TEST(LocalRequestChannelTest, NeitherEndServesOrTrustsAnotherUser) {
  QTemporaryDir runtime;
  const QString path = runtime.path() + "/channel";
  const uid_t stranger = ::getuid() + 1;
  const QByteArray show = "show\n", ok = "ok\n";
  int answered = 0;
  const auto answer = [&](const QByteArray&) { return ++answered, ok; };
  {
    LocalRequestServer server;
    server.Answer = answer;
    ASSERT_TRUE(server.Listen(path)) << server.ErrorText().toStdString();
    EXPECT_EQ(LocalRequestClient().Ask(path, show, std::chrono::minutes(1)), ok);
    LocalRequestClient wary(stranger);
    EXPECT_EQ(wary.Ask(path, show, std::chrono::minutes(1)), QByteArray());
    EXPECT_THAT(wary.ErrorText().toStdString(), HasSubstr("uid " + std::to_string(::getuid())));
    EXPECT_EQ(answered, 1);
  }
  LocalRequestServer strangers(stranger);
  strangers.Answer = answer;
  ASSERT_TRUE(strangers.Listen(path)) << strangers.ErrorText().toStdString();
  EXPECT_EQ(LocalRequestClient().Ask(path, show, std::chrono::minutes(1)), QByteArray());
  EXPECT_EQ(answered, 1);
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
