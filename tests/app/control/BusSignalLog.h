// BusSignalLog: keeps every bus signal it is connected to, whole.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <vector>

class BusSignalLog : public QObject {
  Q_OBJECT
 public:
  std::vector<QDBusMessage> heard;

 public slots:
  void Hear(const QDBusMessage& message) { heard.push_back(message); }
};
