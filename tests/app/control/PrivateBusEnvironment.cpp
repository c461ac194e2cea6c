// One private dbus-daemon and one QCoreApplication for every test of this
// executable. The daemon serves as both session and system bus, so the fakes of
// the login and portal services live beside the program's own name.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace {

constexpr char kBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

class PrivateBusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    folder_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(folder_->isValid());
    QFile config(folder_->filePath("bus.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QString::fromUtf8(kBusConfig).arg(folder_->path()).toUtf8());
    config.close();
    daemon_ = std::make_unique<QProcess>();
    daemon_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_->start(TAMBLIN_DBUS_DAEMON, {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon_->waitForStarted()) << daemon_->errorString().toStdString();
    while (!daemon_->canReadLine()) ASSERT_TRUE(daemon_->waitForReadyRead()) << "dbus-daemon printed no address";
    const QByteArray address = daemon_->readLine().trimmed();
    // Read by QtDBus on the first use of either bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
  }
  void TearDown() override {
    daemon_->terminate();
    daemon_->waitForFinished();
    daemon_.reset();
    folder_.reset();
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "dbus_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
  std::unique_ptr<QTemporaryDir> folder_;
  std::unique_ptr<QProcess> daemon_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new PrivateBusEnvironment);

}  // namespace
