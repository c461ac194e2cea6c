// SystemSleepInhibitor: the sleep inhibitor of the running system: logind's
// "block" lock on the system bus (a file descriptor; closing it releases), else the desktop portal's Inhibit on the session bus (a request
// object; closing it releases). Requests are asynchronous, so a slow or hung bus
// never stalls the window; a release that overtakes the answer drops the lock
// as soon as it arrives. Where neither service answers, recording goes on and
// one line says why on stderr.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include "app/platform/SleepInhibitor.h"

class QDBusPendingCallWatcher;

class SystemSleepInhibitor : public QObject, public SleepInhibitor {
  Q_OBJECT
 public:
  enum class Holder { None, Asking, Logind, Portal };

  explicit SystemSleepInhibitor(QDBusConnection systemBus = QDBusConnection::systemBus(),
                                QDBusConnection sessionBus = QDBusConnection::sessionBus(),
                                QObject* parent = nullptr);
  ~SystemSleepInhibitor() override;

  void Acquire(const QString& reason) override;
  void Release() override;

  Holder CurrentHolder() const;
  // Why the last request found no service (empty once one held the lock).
  QString ErrorText() const;

 private:
  void AskLogind();
  void AskPortal();
  void OnLogindAnswer(QDBusPendingCallWatcher* watcher);
  void OnPortalAnswer(QDBusPendingCallWatcher* watcher);
  // The answer arrived after a release: give the lock straight back.
  void KeepOnlyIfWanted();
  void DropLock();
  void Fail(const QString& portalError);

  QDBusConnection systemBus_;
  QDBusConnection sessionBus_;
  QString reason_;
  bool wanted_ = false;
  bool asking_ = false;
  QDBusUnixFileDescriptor logindLock_;
  QString portalRequest_;  // object path of the portal's request; empty when none
  QString logindError_;
  QString errorText_;
};
