#include "app/platform/LocalRequestServer.h"

#include <QLocalSocket>
#include <QTimer>
#include <utility>

#include "app/platform/PeerCredentials.h"

LocalRequestServer::LocalRequestServer(uid_t peerUser, QObject* parent) : QObject(parent), peerUser_(peerUser) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  // What waits to be accepted stays in the kernel, not in descriptors of ours.
  server_.setMaxPendingConnections(kMaxConnections);
  server_.setListenBacklogSize(kMaxConnections);
  connect(&server_, &QLocalServer::newConnection, this, &LocalRequestServer::OnNewConnection);
}

LocalRequestServer::~LocalRequestServer() {
  // Before the members go: a closing connection reports back to Close.
  for (QLocalSocket* socket : open_.keys()) {
    open_[socket].answering = false;
    Close(socket);
  }
}

bool LocalRequestServer::Listen(const QString& socketPath) {
  error_.clear();
  QLocalServer::removeServer(socketPath);
  if (server_.listen(socketPath)) return true;
  error_ = server_.errorString();
  return false;
}

void LocalRequestServer::OnNewConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    QString why;
    if (!PeerCredentials::IsUser(socket->socketDescriptor(), peerUser_, &why)) {
      socket->abort();
      socket->deleteLater();
    } else if (open_.size() >= kMaxConnections) {
      TurnAway(socket);
    } else {
      Serve(socket);
    }
  }
}

void LocalRequestServer::TurnAway(QLocalSocket* socket) {
  // A few bytes into an empty socket buffer: written at once, read after the close.
  socket->write(kBusyReply);
  socket->flush();
  socket->abort();
  socket->deleteLater();
}

void LocalRequestServer::Serve(QLocalSocket* socket) {
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  open_.insert(socket, Connection{.requestDeadline = deadline});
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Close(socket); });
  connect(deadline, &QTimer::timeout, this, [this, socket] { Close(socket); });
  deadline->start(kRequestTime);
}

void LocalRequestServer::OnReadyRead(QLocalSocket* socket) {
  const auto connection = open_.find(socket);
  if (connection == open_.end() || connection->requested) return;
  const QByteArray head = socket->peek(kMaxRequestBytes);
  const qsizetype end = head.indexOf('\n');
  if (end < 0) {
    if (head.size() >= kMaxRequestBytes) Close(socket);  // not a request of ours
    return;                                               // else wait for the rest of the line
  }
  socket->skip(end + 1);
  connection->requested = true;
  connection->requestDeadline->stop();
  AnswerLater({socket, head.left(end)});
}

void LocalRequestServer::AnswerLater(Request request) {
  // Out of the socket's signal: an answer that waits in a loop of its own must
  // not have the socket's own code below it on the stack.
  QMetaObject::invokeMethod(this, [this, request = std::move(request)] { AnswerNow(request); },
                            Qt::QueuedConnection);
}

void LocalRequestServer::AnswerWaiting() {
  for (Request& request : std::exchange(waiting_, {})) AnswerLater(std::move(request));
}

void LocalRequestServer::AnswerNow(const Request& request) {
  QLocalSocket* socket = request.socket;
  if (!socket || !open_.contains(socket)) return;  // the client went away while it waited
  open_[socket].answering = true;
  const std::optional<QByteArray> reply = Answer ? Answer(request.line) : QByteArray();
  // Answer may have run loops in which this server served other connections: look it up again.
  const auto connection = open_.find(socket);
  if (connection == open_.end()) return;
  connection->answering = false;
  const bool clientGone = connection->closeWhenAnswered;
  if (!reply && !clientGone) {
    waiting_.push_back(request);
    return;
  }
  if (reply && !clientGone) {
    socket->write(*reply);
    socket->flush();  // a short reply goes at once, and stays readable after the close
  }
  Close(socket);
}

void LocalRequestServer::Close(QLocalSocket* socket) {
  const auto connection = open_.find(socket);
  if (connection == open_.end()) return;
  if (connection->answering) {
    // Deleting it now would pull it from under the answer: it goes once the answer returns.
    connection->closeWhenAnswered = true;
    return;
  }
  open_.erase(connection);
  socket->abort();
  socket->deleteLater();
}
