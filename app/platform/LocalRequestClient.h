// LocalRequestClient: the asking end of a LocalRequestServer's channel. Sends
// one request line and waits for the one-line answer. A listener that runs as
// another user (SO_PEERCRED) is not asked: its socket counts as silent. Whether
// the request reached the listener tells a caller if it may ask again.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <chrono>

class LocalRequestClient {
 public:
  // `serverUser`: the only user whose listener is trusted (tests pass another).
  explicit LocalRequestClient(uid_t serverUser = ::getuid()) : serverUser_(serverUser) {}

  // Sends `request` (one line, its newline included) to the socket at
  // `socketPath` and waits up to `limit` for the answer line. Runs an event
  // loop of its own, so the listener may even share this thread. Empty when no
  // answer came (ErrorText says why).
  QByteArray Ask(const QString& socketPath, const QByteArray& request, std::chrono::milliseconds limit);
  const QString& ErrorText() const { return error_; }
  // After an Ask without answer: false when the request surely did not run (no
  // connection, or the listener turned it away unread), so it may be sent again.
  bool Delivered() const { return delivered_; }

 private:
  uid_t serverUser_;
  QString error_;
  bool delivered_ = false;
};
