// LocalRequestServer: the listening end of a local command channel. A client
// connects, sends one short line, gets the answer and is disconnected.
//
// Only the same user gets through: the socket belongs in the user's private
// folder (UserRuntimeFolder), and every accepted connection whose peer is not
// `peerUser` by SO_PEERCRED is closed unread. Whatever clients do, it holds the
// listening socket, at most kMaxConnections connections and, for a moment, the
// one it turns away: connections beyond that many are closed as they arrive,
// and one that has not sent its whole line within kRequestTime is closed.
// UI thread only.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QLocalServer>
#include <QObject>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>

class QLocalSocket;

class LocalRequestServer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxConnections = 8;
  static constexpr std::chrono::milliseconds kRequestTime{1000};
  // A request is one line of at most this many bytes, its newline included
  // (a recorder request names a device).
  static constexpr qsizetype kMaxRequestBytes = 512;
  // An answer is one line of at most this many bytes (a status names a file).
  static constexpr qsizetype kMaxReplyBytes = 4096 + 256;

  // `peerUser`: the only user whose connections are served (tests pass another).
  explicit LocalRequestServer(uid_t peerUser = ::getuid(), QObject* parent = nullptr);
  ~LocalRequestServer() override;  // closes the connections, then the socket (its file goes)

  // Listens on `socketPath`, in a folder of ours: a socket file left there by a
  // crashed listener is removed first. False with ErrorText when impossible.
  bool Listen(const QString& socketPath);
  const QString& ErrorText() const { return error_; }

  // The answer to one request line (given without its newline); empty: none,
  // the connection is just closed.
  std::function<QByteArray(const QByteArray& request)> Answer;

 private:
  void OnNewConnection();
  bool Admissible(QLocalSocket* socket) const;
  void Serve(QLocalSocket* socket);
  void OnReadyRead(QLocalSocket* socket);
  void Close(QLocalSocket* socket);

  uid_t peerUser_;
  QLocalServer server_;
  QSet<QLocalSocket*> open_;  // admitted and not yet closed
  QString error_;
};
