#include "tests/app/control/FakeSleepServices.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

namespace {
constexpr auto kConnectionName = "fake-sleep-services";
}

FakeSleepServices::FakeSleepServices(int services)
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName)) {
  published_ = bus_.registerVirtualObject("/org/freedesktop", this, QDBusConnection::SubPath);
  if (services & kLogind) published_ = published_ && bus_.registerService("org.freedesktop.login1");
  if (services & kPortal) published_ = published_ && bus_.registerService("org.freedesktop.portal.Desktop");
}

FakeSleepServices::~FakeSleepServices() {
  for (const Lock& lock : locks) ::close(lock.watch);
  bus_.unregisterObject("/org/freedesktop");
  QDBusConnection::disconnectFromBus(kConnectionName);
}

bool FakeSleepServices::Released(const Lock& lock) const {
  if (lock.watch < 0) return lock.closed;
  pollfd watch{lock.watch, POLLIN, 0};
  return ::poll(&watch, 1, 0) == 1 && (watch.revents & POLLHUP) != 0;
}

bool FakeSleepServices::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  const QString call = message.interface() + "." + message.member();
  if (call == "org.freedesktop.login1.Manager.Inhibit") return connection.send(LogindInhibit(message));
  if (call == "org.freedesktop.portal.Inhibit.Inhibit") return connection.send(PortalInhibit(message));
  if (call != "org.freedesktop.portal.Request.Close") return false;
  for (Lock& lock : locks) lock.closed = lock.closed || lock.request == message.path();
  return connection.send(message.createReply());
}

QDBusMessage FakeSleepServices::LogindInhibit(const QDBusMessage& message) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return message.createErrorReply(QDBusError::Failed, "pipe2");
  QStringList arguments;
  for (const QVariant& argument : message.arguments()) arguments << argument.toString();
  locks.push_back({arguments, pipe[0]});
  // The reply carries a copy; ours is closed at once so that only the caller holds the lock.
  QDBusMessage reply = message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(pipe[1])));
  ::close(pipe[1]);
  return reply;
}

QDBusMessage FakeSleepServices::PortalInhibit(const QDBusMessage& message) {
  const QVariantList arguments = message.arguments();
  const QString reason = qdbus_cast<QVariantMap>(arguments.value(2)).value("reason").toString();
  const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1").arg(locks.size() + 1);
  locks.push_back({{QString::number(arguments.value(1).toUInt()), reason}, -1, request});
  return message.createReply(QVariant::fromValue(QDBusObjectPath(request)));
}
