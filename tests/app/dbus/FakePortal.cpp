#include "tests/app/dbus/FakePortal.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace {
constexpr auto kConnectionName = "fake-portal";
constexpr auto kPath = "/org/freedesktop/portal/desktop";
}  // namespace

FakePortal::FakePortal() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName)) {
  published_ = bus_.registerVirtualObject(kPath, this, QDBusConnection::SubPath) &&
               bus_.registerService("org.freedesktop.portal.Desktop");
}

FakePortal::~FakePortal() {
  bus_.unregisterObject(kPath);
  QDBusConnection::disconnectFromBus(kConnectionName);
}

bool FakePortal::Published() const { return published_; }

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.interface() == "org.freedesktop.portal.Inhibit" && message.member() == "Inhibit") {
    return Inhibit(message, connection);
  }
  if (message.interface() == "org.freedesktop.portal.Request" && message.member() == "Close") {
    return CloseRequest(message, connection);
  }
  return false;
}

bool FakePortal::Inhibit(const QDBusMessage& message, const QDBusConnection& connection) {
  const QVariantList arguments = message.arguments();
  if (arguments.size() != 3) return false;
  const QVariantMap options = qdbus_cast<QVariantMap>(arguments[2]);
  const QString request = QStringLiteral("%1/request/%2").arg(kPath).arg(calls.size() + 1);
  calls.push_back({arguments[1].toUInt(), options.value("reason").toString(), request});
  connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
  return true;
}

bool FakePortal::CloseRequest(const QDBusMessage& message, const QDBusConnection& connection) {
  for (Call& call : calls) {
    if (call.request == message.path()) call.closed = true;
  }
  connection.send(message.createReply());
  return true;
}
