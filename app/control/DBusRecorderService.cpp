#include "app/control/DBusRecorderService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QPointer>
#include <QVariantMap>

#include "app/recording/SecondInputFinder.h"
#include "app/platform/RemoteRequest.h"

DBusRecorderService::DBusRecorderService(RecorderControl& control, QDBusConnection bus, QObject* parent)
    : QObject(parent), control_(control), bus_(std::move(bus)) {
  QPointer<DBusRecorderService> self(this);
  control_.OnStateChanged([self](RecorderState state) {
    if (self) self->AnnounceState(state);
  });
  progress_.setInterval(kProgressInterval);
  connect(&progress_, &QTimer::timeout, this, &DBusRecorderService::AnnounceProgress);
}

DBusRecorderService::~DBusRecorderService() {
  if (ownsName_) bus_.unregisterService(kServiceName);
  if (registered_) bus_.unregisterObject(kObjectPath);
}

bool DBusRecorderService::Publish() {
  if (!bus_.isConnected()) return Fail(QStringLiteral("no session bus (%1)").arg(bus_.lastError().message()));
  registered_ = bus_.registerObject(
      kObjectPath, this,
      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties);
  if (!registered_) return Fail(QStringLiteral("object path %1 already in use").arg(kObjectPath));
  // No queueing and no replacement: a second copy of the program must not take over the first's name.
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus_.interface()->registerService(
      kServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid()) return Fail(reply.error().message());
  ownsName_ = reply.value() == QDBusConnectionInterface::ServiceRegistered;
  if (!ownsName_) {
    bus_.unregisterObject(kObjectPath);
    registered_ = false;
    return Fail(QStringLiteral("the name %1 is taken by another program").arg(kServiceName));
  }
  return true;
}

QString DBusRecorderService::ErrorText() const { return errorText_; }

QString DBusRecorderService::StateName(RecorderState state) {
  switch (state) {
    case RecorderState::Idle: return QStringLiteral("idle");
    case RecorderState::Monitoring: return QStringLiteral("monitoring");
    case RecorderState::Starting: return QStringLiteral("starting");
    case RecorderState::WaitingForSound: return QStringLiteral("waiting-for-sound");
    case RecorderState::Recording: return QStringLiteral("recording");
    case RecorderState::Paused: return QStringLiteral("paused");
    case RecorderState::Finishing: return QStringLiteral("finishing");
  }
  return QStringLiteral("idle");
}

QString DBusRecorderService::State() const {
  const RecorderControl::Status status = control_.CurrentStatus();
  return status.scheduledStartIn ? QStringLiteral("waiting-for-schedule") : StateName(status.state);
}
int DBusRecorderService::Length() const { return control_.CurrentStatus().lengthMs; }
QString DBusRecorderService::File() const { return QString::fromStdString(control_.CurrentStatus().file); }
qlonglong DBusRecorderService::InputLost() const { return control_.CurrentStatus().inputLost; }
qlonglong DBusRecorderService::Size() const { return control_.CurrentStatus().fileBytes; }
QString DBusRecorderService::Device() const { return QString::fromStdString(control_.CurrentStatus().device); }
QString DBusRecorderService::Type() const { return QString::fromStdString(control_.CurrentStatus().type); }
double DBusRecorderService::Level() const { return control_.CurrentStatus().levelDbfs; }

void DBusRecorderService::Start() { Answer(control_.Start({})); }
void DBusRecorderService::StartWith(const QVariantMap& options) {
  static const QStringList kFirstInputKeys = {QStringLiteral("device"), QStringLiteral("type")};
  static const QStringList kSecondInputKeys = {QStringLiteral("secondDevice"), QStringLiteral("tracks")};
  for (auto option = options.cbegin(); option != options.cend(); ++option) {
    const bool known = kFirstInputKeys.contains(option.key()) || (secondInputs_ && kSecondInputKeys.contains(option.key()));
    if (!known || option.value().typeId() != QMetaType::QString) {
      if (calledFromDBus()) sendErrorReply(kRefusedError, tr("Start 不认识选项 \"%1\"").arg(option.key()));
      return;
    }
  }
  const auto text = [&options](const QString& key) { return options.value(key).toString().toStdString(); };
  RecordingRequest request{.device = text("device"), .type = text("type")};
  if (!secondInputs_) return Answer(control_.Start(request));
  Answer(secondInputs_->Start(control_, std::move(request), text("secondDevice"), text("tracks")));
}

void DBusRecorderService::StartWithPreRecord(int seconds) {
  if (seconds < 0 || seconds > RemoteRequest::kLongestPreRecord) {
    return Answer({false, tr("预录秒数必须在 0 到 %1 之间, 不是 %2").arg(RemoteRequest::kLongestPreRecord).arg(seconds).toStdString()});
  }
  Answer(control_.Start({.preRecordSeconds = seconds}));
}
void DBusRecorderService::Stop() { Answer(control_.Stop()); }
void DBusRecorderService::Pause() { Answer(control_.Pause()); }
void DBusRecorderService::Resume() { Answer(control_.Resume()); }
void DBusRecorderService::Toggle() { Answer(control_.Toggle()); }
void DBusRecorderService::Mark(const QString& name) { Answer(control_.Mark(name.toStdString())); }

void DBusRecorderService::Answer(const RecorderControl::Result& result) {
  // Called from the window itself (not over the bus) there is nobody to answer.
  if (!calledFromDBus()) return;
  if (!result.ok) {
    sendErrorReply(kRefusedError, result.reason.empty() ? tr("录音未能开始") : QString::fromStdString(result.reason));
  }
  if (result.ok && !result.warnings.empty() && WarningsUnanswered) WarningsUnanswered(result.warnings);
}

void DBusRecorderService::AnnounceState(RecorderState state) {
  emit StateChanged(StateName(state));
  // Monitoring too: a client sees the microphone's level before Start.
  if (TakeRuns(state) || state == RecorderState::Monitoring) {
    progress_.start();
  } else {
    progress_.stop();
  }
  const RecorderControl::Status status = control_.CurrentStatus();
  announced_ = {{"Length", status.lengthMs}, {"Level", status.levelDbfs}, {"InputLost", qlonglong(status.inputLost)}};
  QVariantMap changed = announced_;
  changed.insert({{"State", StateName(state)},
                  {"File", QString::fromStdString(status.file)},
                  {"Size", qlonglong(status.fileBytes)},
                  {"Device", QString::fromStdString(status.device)},
                  {"Type", QString::fromStdString(status.type)}});
  SendPropertiesChanged(changed);
}

void DBusRecorderService::AnnounceProgress() {
  const RecorderControl::Status status = control_.CurrentStatus();
  const QVariantMap now{
      {"Length", status.lengthMs}, {"Level", status.levelDbfs}, {"InputLost", qlonglong(status.inputLost)}};
  if (now == announced_) return;
  announced_ = now;
  SendPropertiesChanged(now);
}

void DBusRecorderService::SendPropertiesChanged(const QVariantMap& changed) {
  if (!registered_) return;
  QDBusMessage message =
      QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), "PropertiesChanged");
  message << QString(kInterfaceName) << changed << QStringList();
  bus_.send(message);
}

bool DBusRecorderService::Fail(const QString& why) {
  errorText_ = why;
  return false;
}
