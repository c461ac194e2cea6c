// FakePortal: the desktop portal's Inhibit on a connection of its own to the
// session bus. Each inhibition is a request object below the portal's path
// that the caller closes to release it.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <vector>

class FakePortal : public QDBusVirtualObject {
 public:
  struct Call {
    uint flags = 0;
    QString reason;
    QString request;  // the handed-out request's object path
    bool closed = false;
  };

  FakePortal();
  ~FakePortal() override;

  bool Published() const;

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  std::vector<Call> calls;

 private:
  bool Inhibit(const QDBusMessage& message, const QDBusConnection& connection);
  bool CloseRequest(const QDBusMessage& message, const QDBusConnection& connection);

  QDBusConnection bus_;
  bool published_ = false;
};
