// A terminal recording (--no-window) of the real program on the private
// session bus: scripts see its state and run its verbs as they do the window's.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "app/control/DBusRecorderService.h"
#include "tests/support/EventLoopWait.h"
#include "tests/support/PrivatePulseDaemon.h"

#ifdef TAMBLIN_EXECUTABLE

namespace {

TEST(TerminalRecorderBusTest, ANoWindowRecordingAnswersOnTheSessionBus) {
  PrivatePulseDaemon daemon(true);
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  QTemporaryDir folder, runtime;
  const QString executable = folder.path() + "/tamblin";
  ASSERT_TRUE(QFile::copy(TAMBLIN_EXECUTABLE, executable));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();  // the private bus's address
  environment.insert("XDG_RUNTIME_DIR", runtime.path());
  environment.insert("PULSE_SERVER", QString::fromStdString(daemon.Server()));
  QProcess program;
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const QString take = folder.path() + "/take.flac";
  program.start(executable, {"--no-window", "--device", "Test-Tone-440Hz", take});
  ASSERT_TRUE(program.waitForStarted());

  // Made anew on each look: an interface made before its service is there stays invalid.
  const auto recorderOnBus = [] {
    return std::make_unique<QDBusInterface>(DBusRecorderService::kServiceName, DBusRecorderService::kObjectPath,
                                            DBusRecorderService::kInterfaceName, QDBusConnection::sessionBus());
  };
  ASSERT_TRUE(WaitFor([&] { return recorderOnBus()->property("State").toString() == "recording"; }))
      << "not on the bus while recording";
  const std::unique_ptr<QDBusInterface> recorder = recorderOnBus();
  EXPECT_EQ(recorder->property("File").toString(), take);
  const QDBusReply<void> stopped = recorder->call("Stop");
  EXPECT_TRUE(stopped.isValid()) << stopped.error().message().toStdString();
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }));
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_GT(QFileInfo(take).size(), 0);
}

}  // namespace

#endif
