#include "app/bus/DBusRecorderService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QPointer>
#include <QVariantMap>

DBusRecorderService::DBusRecorderService(RecorderControl& control, QDBusConnection bus, QObject* parent)
    : QObject(parent), control_(control), bus_(std::move(bus)) {
  QPointer<DBusRecorderService> self(this);
  control_.OnStateChanged([self](RecorderState state) {
    if (self) self->AnnounceState(state);
  });
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
    case RecorderState::Starting: return QStringLiteral("starting");
    case RecorderState::Recording: return QStringLiteral("recording");
    case RecorderState::Paused: return QStringLiteral("paused");
    case RecorderState::Finishing: return QStringLiteral("finishing");
  }
  return QStringLiteral("idle");
}

QString DBusRecorderService::State() const { return StateName(control_.CurrentStatus().state); }
int DBusRecorderService::Length() const { return control_.CurrentStatus().lengthMs; }
QString DBusRecorderService::File() const { return QString::fromStdString(control_.CurrentStatus().file); }
qlonglong DBusRecorderService::InputLost() const { return control_.CurrentStatus().inputLost; }

void DBusRecorderService::Start() { Answer(control_.Start({})); }
void DBusRecorderService::Stop() { Answer(control_.Stop()); }
void DBusRecorderService::Pause() { Answer(control_.Pause()); }
void DBusRecorderService::Resume() { Answer(control_.Resume()); }
void DBusRecorderService::Toggle() { Answer(control_.Toggle()); }

void DBusRecorderService::Answer(const RecorderControl::Result& result) {
  // Called from the window itself (not over the bus) there is nobody to answer.
  if (!calledFromDBus()) return;
  if (!result.ok) sendErrorReply(kRefusedError, QString::fromStdString(result.reason));
  if (result.ok && !result.warnings.empty() && WarningsUnanswered) WarningsUnanswered(result.warnings);
}

void DBusRecorderService::AnnounceState(RecorderState state) {
  emit StateChanged(StateName(state));
  if (!registered_) return;
  const RecorderControl::Status status = control_.CurrentStatus();
  QDBusMessage changed =
      QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), "PropertiesChanged");
  changed << QString(kInterfaceName)
          << QVariantMap{{"State", StateName(state)},
                         {"Length", status.lengthMs},
                         {"File", QString::fromStdString(status.file)},
                         {"InputLost", qlonglong(status.inputLost)}}
          << QStringList();
  bus_.send(changed);
}

bool DBusRecorderService::Fail(const QString& why) {
  errorText_ = why;
  return false;
}
