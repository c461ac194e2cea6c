// FakeSleepServices: logind's and the desktop portal's Inhibit, each published
// only when asked for, on a connection of their own to the private daemon
// (which is both buses). A logind lock is the write end of a pipe whose read
// end we keep: it hangs up once every copy of the lock is closed. A portal
// lock is a request object the caller closes.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <vector>

class FakeSleepServices : public QDBusVirtualObject {
 public:
  enum Service { kLogind = 1, kPortal = 2 };
  struct Lock {
    QStringList arguments;  // logind: what, who, why, mode; portal: flags, reason
    int watch = -1;         // logind: the pipe's read end
    QString request;        // portal: the request's object path
    bool closed = false;    // portal: the request was closed
  };

  explicit FakeSleepServices(int services);
  ~FakeSleepServices() override;

  bool Published() const { return published_; }
  bool Released(const Lock& lock) const;

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  std::vector<Lock> locks;

 private:
  QDBusMessage LogindInhibit(const QDBusMessage& message);
  QDBusMessage PortalInhibit(const QDBusMessage& message);

  QDBusConnection bus_;
  bool published_ = true;
};
