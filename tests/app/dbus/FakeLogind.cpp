#include "tests/app/dbus/FakeLogind.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusUnixFileDescriptor>

namespace {
constexpr auto kConnectionName = "fake-logind";
}

FakeLogind::FakeLogind() : bus_(QDBusConnection::connectToBus(QDBusConnection::SystemBus, kConnectionName)) {
  published_ = bus_.registerVirtualObject("/org/freedesktop/login1", this) &&
               bus_.registerService("org.freedesktop.login1");
}

FakeLogind::~FakeLogind() {
  for (const Call& call : calls) ::close(call.lockWatch);
  bus_.unregisterObject("/org/freedesktop/login1");
  QDBusConnection::disconnectFromBus(kConnectionName);
}

bool FakeLogind::Published() const { return published_; }

bool FakeLogind::LockReleased(const Call& call) const {
  pollfd watch{call.lockWatch, POLLIN, 0};
  return ::poll(&watch, 1, 0) == 1 && (watch.revents & POLLHUP) != 0;
}

bool FakeLogind::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.interface() != "org.freedesktop.login1.Manager" || message.member() != "Inhibit") return false;
  int lock[2];
  if (::pipe2(lock, O_CLOEXEC) != 0) return false;
  QStringList arguments;
  for (const QVariant& argument : message.arguments()) arguments << argument.toString();
  calls.push_back({arguments, lock[0]});
  // The reply carries its own copy; ours is closed so that only the caller holds the lock.
  connection.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(lock[1]))));
  ::close(lock[1]);
  return true;
}
