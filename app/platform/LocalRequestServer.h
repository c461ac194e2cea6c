// LocalRequestServer: the listening end of a local command channel. A client
// connects, sends one short line, gets the answer and is disconnected.
//
// Only the same user gets through: the socket belongs in the user's private
// folder (UserRuntimeFolder), and every accepted connection whose peer is not
// `peerUser` by SO_PEERCRED is closed unread. Whatever clients do, it holds the
// listening socket, at most kMaxConnections connections and, for a moment, the
// one it turns away: connections beyond that many are told kBusyReply and
// closed unread, and one that has not sent its whole line within kRequestTime
// is closed.
//
// Once its line is in, a request is answered from the event loop, never from
// inside the socket's own signal, and its connection stays open however long
// the answer takes (the answer may wait in loops of its own: a start, a
// question box): a client that goes away meanwhile only loses the answer.
// UI thread only.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QHash>
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QLocalSocket;
class QTimer;

class LocalRequestServer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxConnections = 8;
  // For the request line only; working out the answer has no limit here.
  static constexpr std::chrono::milliseconds kRequestTime{1000};
  // A request is one line of at most this many bytes, its newline included
  // (a recorder request names a device).
  static constexpr qsizetype kMaxRequestBytes = 512;
  // An answer is one line of at most this many bytes (a status names a file).
  static constexpr qsizetype kMaxReplyBytes = 4096 + 256;
  // Told to a connection turned away unread: its request did not run, it may be sent again.
  static constexpr const char* kBusyReply = "busy\n";

  // `peerUser`: the only user whose connections are served (tests pass another).
  explicit LocalRequestServer(uid_t peerUser = ::getuid(), QObject* parent = nullptr);
  ~LocalRequestServer() override;  // closes the connections, then the socket (its file goes)

  // Listens on `socketPath`, in a folder of ours: a socket file left there by a
  // crashed listener is removed first. False with ErrorText when impossible.
  bool Listen(const QString& socketPath);
  const QString& ErrorText() const { return error_; }

  // The answer to one request line (given without its newline); empty: none,
  // the connection is just closed; nothing: not yet, the request waits until
  // AnswerWaiting. May run event loops of its own.
  std::function<std::optional<QByteArray>(const QByteArray& request)> Answer;
  // Asks Answer again, from the event loop, for every request that waits.
  void AnswerWaiting();

 private:
  struct Connection {
    QTimer* requestDeadline = nullptr;  // owned by the socket
    bool requested = false;             // its line is in
    bool answering = false;             // Answer runs for it: the socket must stay
    bool closeWhenAnswered = false;
  };
  struct Request {
    QPointer<QLocalSocket> socket;  // null once deleted, so a later connection at its address is never taken for it
    QByteArray line;
  };

  void OnNewConnection();
  bool Admissible(QLocalSocket* socket) const;
  void TurnAway(QLocalSocket* socket);
  void Serve(QLocalSocket* socket);
  void OnReadyRead(QLocalSocket* socket);
  void AnswerLater(Request request);
  void AnswerNow(const Request& request);
  void Close(QLocalSocket* socket);

  uid_t peerUser_;
  QLocalServer server_;
  QHash<QLocalSocket*, Connection> open_;  // admitted and not yet closed
  std::vector<Request> waiting_;           // Answer said "not yet"
  QString error_;
};
