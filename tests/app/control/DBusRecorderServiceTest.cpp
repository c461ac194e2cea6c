// The recorder on the session bus: methods reach the recorder, refusals come
// back as errors with the recorder's reason, properties and signals follow it,
// and a missing bus or a taken name leaves the program running with a reason.
#include "app/control/DBusRecorderService.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QTimer>

#include "app/recording/SecondInputFinder.h"
#include "capture/WaveInRecorder.h"
#include "tests/app/control/BusSignalLog.h"
#include "tests/app/control/FakeRecorderControl.h"
#include "tests/support/EventLoopWait.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

constexpr auto kProperties = "org.freedesktop.DBus.Properties";

class DBusRecorderServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service.Publish()) << service.ErrorText().toStdString(); }
  void TearDown() override { QDBusConnection::disconnectFromBus("tamblin-service"); }

  // Answered while the event loop runs: the service lives on this very thread.
  QDBusMessage Call(const QString& method, const QString& interface = DBusRecorderService::kInterfaceName,
                    const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(DBusRecorderService::kServiceName,
                                                       DBusRecorderService::kObjectPath, interface, method);
    call.setArguments(arguments);
    QDBusPendingCall pending = client.asyncCall(call);
    WaitFor([&pending] { return pending.isFinished(); });
    return pending.reply();
  }
  QVariantMap AllProperties() {
    const QDBusMessage reply = Call("GetAll", kProperties, {QString(DBusRecorderService::kInterfaceName)});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(reply.arguments().first());
  }

  FakeRecorderControl control;
  DBusRecorderService service{control, QDBusConnection::connectToBus(QDBusConnection::SessionBus, "tamblin-service")};
  QDBusConnection client = QDBusConnection::sessionBus();
};

TEST_F(DBusRecorderServiceTest, MethodsReachTheRecorderAndRefusalsCarryItsReason) {
  control.refusals["Stop"] = "没有正在进行的录音";
  for (const char* method : {"Start", "Pause", "Resume", "Toggle"}) {
    EXPECT_EQ(Call(method).type(), QDBusMessage::ReplyMessage) << method;
  }
  const QDBusMessage refused = Call("Stop");
  ASSERT_EQ(refused.type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(refused.errorName(), DBusRecorderService::kRefusedError);
  EXPECT_EQ(refused.errorMessage(), "没有正在进行的录音");
  EXPECT_EQ(Call("Mark", DBusRecorderService::kInterfaceName, {QString("副歌")}).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(control.requests, (std::vector<std::string>{"Start", "Pause", "Resume", "Toggle", "Stop", "Mark"}));
  EXPECT_EQ(control.marks, (std::vector<std::string>{"副歌"}));
}

TEST_F(DBusRecorderServiceTest, StartWithCarriesTheInputsAndTracksAndRefusesWhatItDoesNotKnow) {
  const auto startWith = [&](const QVariantMap& options) {
    return Call("StartWith", DBusRecorderService::kInterfaceName, {options});
  };
  const QVariantMap twoInputs{{"device", "Mic"},
                              {"type", "flac"},
                              {"secondDevice", "Monitor of Null-Output"},
                              {"tracks", "separate"}};
  EXPECT_EQ(startWith(twoInputs).type(), QDBusMessage::ErrorMessage) << "no second input without a finder";
  EXPECT_TRUE(control.starts.empty());
  EXPECT_EQ(startWith({{"device", "Mic"}}).type(), QDBusMessage::ReplyMessage);
  ASSERT_EQ(control.starts.size(), 1u);
  EXPECT_EQ(control.starts[0].device, "Mic");
  EXPECT_EQ(control.starts[0].second, std::nullopt);

  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  WaveInRecorder devices;
  const SecondInputFinder finder(devices, [] { return SecondInputSettings{}; });
  service.SecondInputs(&finder);
  EXPECT_EQ(startWith(twoInputs).type(), QDBusMessage::ReplyMessage);
  ASSERT_EQ(control.starts.size(), 2u);
  EXPECT_EQ(control.starts[1].type, "flac");
  ASSERT_TRUE(control.starts[1].second);
  EXPECT_EQ(control.starts[1].second->sourceName, "tamblin_null.monitor");
  EXPECT_EQ(control.starts[1].second->tracks, TrackLayout::Separate);

  const QDBusMessage unknown = startWith({{"secondDevice", "no-such-source"}});
  ASSERT_EQ(unknown.type(), QDBusMessage::ErrorMessage);
  EXPECT_TRUE(unknown.errorMessage().contains("no-such-source")) << unknown.errorMessage().toStdString();
  EXPECT_EQ(startWith({{"colour", "red"}}).type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(startWith({{"tracks", 3}}).type(), QDBusMessage::ErrorMessage) << "words only";
  EXPECT_EQ(control.starts.size(), 2u) << "a refusal starts nothing";
  service.SecondInputs(nullptr);
}

// A start over the bus may begin with the input kept before it, as the
// command line's can; seconds out of range are refused and start nothing.
TEST_F(DBusRecorderServiceTest, StartWithPreRecordHandsItsSecondsToTheRecorder) {
  EXPECT_EQ(Call("Start").type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Call("StartWithPreRecord", DBusRecorderService::kInterfaceName, {30}).type(), QDBusMessage::ReplyMessage);
  for (const int seconds : {601, -1}) {
    const QDBusMessage refused = Call("StartWithPreRecord", DBusRecorderService::kInterfaceName, {seconds});
    ASSERT_EQ(refused.type(), QDBusMessage::ErrorMessage) << seconds;
    EXPECT_EQ(refused.errorName(), DBusRecorderService::kRefusedError);
    EXPECT_TRUE(refused.errorMessage().contains("600")) << refused.errorMessage().toStdString();
  }
  EXPECT_EQ(control.preRecords, (std::vector<std::optional<double>>{std::nullopt, 30.0}));
}

TEST_F(DBusRecorderServiceTest, PropertiesShowTheRecordersStatusWithTheirBusTypes) {
  control.status = {RecorderState::Paused, 61500, "/home/u/音乐/Tamblin/录音3.wav", 5000000000, 3000000000, "Mic",
                    "flac", -12.5};
  const QVariantMap properties = AllProperties();
  EXPECT_EQ(properties.value("Size").toLongLong(), 3000000000);
  EXPECT_EQ(properties.value("Device").toString(), "Mic");
  EXPECT_EQ(properties.value("Type").toString(), "flac");
  EXPECT_EQ(properties.value("Level").toDouble(), -12.5);
  EXPECT_EQ(properties.value("State").toString(), "paused");
  EXPECT_EQ(properties.value("Length").metaType(), QMetaType::fromType<int>());
  EXPECT_EQ(properties.value("Length").toInt(), 61500);
  EXPECT_EQ(properties.value("File").toString(), "/home/u/音乐/Tamblin/录音3.wav");
  // Lost input may pass 2^31 bytes in a long recording.
  EXPECT_EQ(properties.value("InputLost").toLongLong(), 5000000000);

  control.status.state = RecorderState::Finishing;
  EXPECT_EQ(AllProperties().value("State").toString(), "finishing");
  // At rest, a scheduled start waiting: the state says so, not "idle".
  control.status.state = RecorderState::Idle;
  control.status.scheduledStartIn = std::chrono::seconds(90);
  EXPECT_EQ(AllProperties().value("State").toString(), "waiting-for-schedule");
}

TEST_F(DBusRecorderServiceTest, StateChangeIsSignalledWithTheNewValues) {
  BusSignalLog stateChanged;
  BusSignalLog propertiesChanged;
  const QString service = DBusRecorderService::kServiceName;
  const QString path = DBusRecorderService::kObjectPath;
  ASSERT_TRUE(client.connect(service, path, DBusRecorderService::kInterfaceName, "StateChanged", &stateChanged,
                             SLOT(Hear(QDBusMessage))));
  ASSERT_TRUE(client.connect(service, path, kProperties, "PropertiesChanged", &propertiesChanged,
                             SLOT(Hear(QDBusMessage))));
  // A round trip makes sure the daemon has the match rules before the change.
  AllProperties();

  control.status.file = "/tmp/录音1.flac";
  control.Enter(RecorderState::Starting);
  control.Enter(RecorderState::Recording);
  ASSERT_TRUE(WaitFor([&] { return stateChanged.heard.size() == 2 && propertiesChanged.heard.size() == 2; }));
  EXPECT_EQ(stateChanged.heard[0].arguments().value(0).toString(), "starting");
  EXPECT_EQ(stateChanged.heard[1].arguments().value(0).toString(), "recording");
  const QVariantList arguments = propertiesChanged.heard[1].arguments();
  ASSERT_EQ(arguments.size(), 3);
  EXPECT_EQ(arguments[0].toString(), DBusRecorderService::kInterfaceName);
  const QVariantMap changed = qdbus_cast<QVariantMap>(arguments[1]);
  EXPECT_EQ(changed.value("State").toString(), "recording");
  EXPECT_EQ(changed.value("File").toString(), "/tmp/录音1.flac");

  // While it records, the length, level and lost input are announced as they move, with no change of state.
  control.status.lengthMs = 2500;
  control.status.levelDbfs = -6;
  ASSERT_TRUE(WaitFor([&] { return propertiesChanged.heard.size() == 3; }));
  const QVariantMap moved = qdbus_cast<QVariantMap>(propertiesChanged.heard[2].arguments()[1]);
  EXPECT_EQ(moved.value("Length").toInt(), 2500);
  EXPECT_EQ(moved.value("Level").toDouble(), -6);
  EXPECT_FALSE(moved.contains("State"));
}

// Before Start the monitored input's level is announced as it moves, so a
// client sees the microphone; once the input is closed nothing more is.
TEST_F(DBusRecorderServiceTest, MonitoringAnnouncesTheLevelAndIdleNothing) {
  BusSignalLog propertiesChanged;
  ASSERT_TRUE(client.connect(DBusRecorderService::kServiceName, DBusRecorderService::kObjectPath, kProperties,
                             "PropertiesChanged", &propertiesChanged, SLOT(Hear(QDBusMessage))));
  AllProperties();
  const auto changed = [&](size_t k) { return qdbus_cast<QVariantMap>(propertiesChanged.heard[k].arguments()[1]); };

  control.Enter(RecorderState::Monitoring);
  ASSERT_TRUE(WaitFor([&] { return propertiesChanged.heard.size() == 1; }));
  control.status.levelDbfs = -18;
  ASSERT_TRUE(WaitFor([&] { return propertiesChanged.heard.size() == 2; }));
  EXPECT_EQ(changed(1).value("Level").toDouble(), -18);

  control.Enter(RecorderState::Idle);
  ASSERT_TRUE(WaitFor([&] { return propertiesChanged.heard.size() == 3; }));
  control.status.levelDbfs = -3;
  // Had the service kept announcing, one of its ticks would fall within two of its intervals.
  QTimer twoTicks;
  twoTicks.setSingleShot(true);
  twoTicks.start(2 * DBusRecorderService::kProgressInterval);
  WaitFor([&] { return !twoTicks.isActive(); });
  // Signals arrive in order: the next one heard is the next change of state.
  control.Enter(RecorderState::Monitoring);
  ASSERT_TRUE(WaitFor([&] { return propertiesChanged.heard.size() >= 4; }));
  EXPECT_EQ(changed(3).value("State").toString(), "monitoring") << "announced while idle";
}

TEST_F(DBusRecorderServiceTest, SecondCopyFindsTheNameTakenAndTheFirstKeepsIt) {
  FakeRecorderControl otherControl;
  {
    DBusRecorderService second(otherControl,
                               QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second-copy"));
    EXPECT_FALSE(second.Publish());
    EXPECT_NE(second.ErrorText().indexOf("taken"), -1) << second.ErrorText().toStdString();
  }
  QDBusConnection::disconnectFromBus("second-copy");
  EXPECT_EQ(Call("Toggle").type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(control.requests, std::vector<std::string>{"Toggle"});
  EXPECT_TRUE(otherControl.requests.empty());
}

TEST(DBusRecorderServiceWithoutBus, PublishFailsWithTheConnectionsReason) {
  FakeRecorderControl control;
  DBusRecorderService service(control, QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus"));
  EXPECT_FALSE(service.Publish());
  EXPECT_NE(service.ErrorText().indexOf("no session bus"), -1) << service.ErrorText().toStdString();
  EXPECT_GT(service.ErrorText().size(), QString("no session bus ()").size()) << "the cause is missing";
  QDBusConnection::disconnectFromBus("no-bus");
}

}  // namespace
