// BusCall: one method call over the bus, answered while the test's event loop
// runs (the service under test lives on this very thread, so a blocking call
// would wait on itself).
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include "tests/support/EventLoopWait.h"

inline QDBusMessage BusCall(const QDBusConnection& bus, const QString& service, const QString& path,
                            const QString& interface, const QString& method, const QVariantList& arguments = {}) {
  QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
  call.setArguments(arguments);
  QDBusPendingCall pending = bus.asyncCall(call);
  WaitFor([&pending] { return pending.isFinished(); });
  return pending.reply();
}
