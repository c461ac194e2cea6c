#include "app/control/SystemSleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <cstdio>

namespace {

constexpr auto kLogindService = "org.freedesktop.login1";
constexpr auto kLogindPath = "/org/freedesktop/login1";
constexpr auto kLogindInterface = "org.freedesktop.login1.Manager";
constexpr auto kPortalService = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";
constexpr auto kPortalInterface = "org.freedesktop.portal.Inhibit";
constexpr auto kPortalRequestInterface = "org.freedesktop.portal.Request";
constexpr uint kPortalInhibitSuspend = 4;  // the portal's flag bits: 1 logout, 2 user switch, 4 suspend, 8 idle

QString BusError(const QDBusError& error) { return error.name() + ": " + error.message(); }

// A call on a connection that never came up would not even fail: it stays pending.
QString Unconnected(const QDBusConnection& bus, const char* which) {
  return bus.isConnected() ? QString() : QStringLiteral("no %1 bus (%2)").arg(which, bus.lastError().message());
}

}  // namespace

SystemSleepInhibitor::SystemSleepInhibitor(QDBusConnection systemBus, QDBusConnection sessionBus,
                                           QObject* parent)
    : QObject(parent), systemBus_(std::move(systemBus)), sessionBus_(std::move(sessionBus)) {}

SystemSleepInhibitor::~SystemSleepInhibitor() { Release(); }

void SystemSleepInhibitor::Acquire(const QString& reason) {
  reason_ = reason;
  wanted_ = true;
  if (asking_ || CurrentHolder() != Holder::None) return;
  asking_ = true;
  AskLogind();
}

void SystemSleepInhibitor::Release() {
  wanted_ = false;
  DropLock();
}

SystemSleepInhibitor::Holder SystemSleepInhibitor::CurrentHolder() const {
  if (logindLock_.isValid()) return Holder::Logind;
  if (!portalRequest_.isEmpty()) return Holder::Portal;
  return asking_ ? Holder::Asking : Holder::None;
}

QString SystemSleepInhibitor::ErrorText() const { return errorText_; }

void SystemSleepInhibitor::AskLogind() {
  logindError_ = Unconnected(systemBus_, "system");
  if (!logindError_.isEmpty()) return AskPortal();
  QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindInterface, "Inhibit");
  call << QStringLiteral("sleep") << QStringLiteral("Tamblin") << reason_ << QStringLiteral("block");
  auto* watcher = new QDBusPendingCallWatcher(systemBus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &SystemSleepInhibitor::OnLogindAnswer);
}

void SystemSleepInhibitor::AskPortal() {
  if (const QString error = Unconnected(sessionBus_, "session"); !error.isEmpty()) return Fail(error);
  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface, "Inhibit");
  call << QString() << kPortalInhibitSuspend << QVariantMap{{"reason", reason_}};
  auto* watcher = new QDBusPendingCallWatcher(sessionBus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &SystemSleepInhibitor::OnPortalAnswer);
}

void SystemSleepInhibitor::OnLogindAnswer(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
  if (reply.isError() || !reply.value().isValid()) {
    logindError_ = reply.isError() ? BusError(reply.error()) : QStringLiteral("no file descriptor in the answer");
    AskPortal();
    return;
  }
  logindLock_ = reply.value();
  KeepOnlyIfWanted();
}

void SystemSleepInhibitor::OnPortalAnswer(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
  if (reply.isError()) {
    Fail(BusError(reply.error()));
    return;
  }
  portalRequest_ = reply.value().path();
  KeepOnlyIfWanted();
}

void SystemSleepInhibitor::KeepOnlyIfWanted() {
  asking_ = false;
  errorText_.clear();
  if (!wanted_) DropLock();
}

void SystemSleepInhibitor::DropLock() {
  // Closing our only copy of logind's descriptor is what ends its lock.
  logindLock_ = QDBusUnixFileDescriptor();
  if (!portalRequest_.isEmpty()) {
    sessionBus_.asyncCall(
        QDBusMessage::createMethodCall(kPortalService, portalRequest_, kPortalRequestInterface, "Close"));
    portalRequest_.clear();
  }
}

void SystemSleepInhibitor::Fail(const QString& portalError) {
  asking_ = false;
  errorText_ = QStringLiteral("logind (%1), desktop portal (%2)").arg(logindError_, portalError);
  std::fprintf(stderr, "tamblin: recording without a sleep inhibitor: %s\n", qPrintable(errorText_));
}
