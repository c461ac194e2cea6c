// FakeLogind: the login manager's Inhibit on a connection of its own to the
// system bus. Each lock it hands out is the write end of a pipe; it keeps the
// read end, which reports hang-up once every copy of the lock is closed.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <vector>

class FakeLogind : public QDBusVirtualObject {
 public:
  struct Call {
    QStringList arguments;  // what, who, why, mode
    int lockWatch = -1;     // read end of the lock's pipe
  };

  FakeLogind();
  ~FakeLogind() override;

  bool Published() const;
  // True once the lock of `call` is closed everywhere.
  bool LockReleased(const Call& call) const;

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  std::vector<Call> calls;

 private:
  QDBusConnection bus_;
  bool published_ = false;
};
