#include "app/platform/LocalRequestServer.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

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
  for (QLocalSocket* socket : QSet<QLocalSocket*>(open_)) Close(socket);
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
    if (Admissible(socket)) {
      Serve(socket);
    } else {
      socket->abort();
      socket->deleteLater();
    }
  }
}

bool LocalRequestServer::Admissible(QLocalSocket* socket) const {
  QString why;
  return open_.size() < kMaxConnections && PeerCredentials::IsUser(socket->socketDescriptor(), peerUser_, &why);
}

void LocalRequestServer::Serve(QLocalSocket* socket) {
  open_.insert(socket);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Close(socket); });
  QTimer::singleShot(kRequestTime, socket, [this, socket] { Close(socket); });
}

void LocalRequestServer::OnReadyRead(QLocalSocket* socket) {
  if (!open_.contains(socket)) return;
  const QByteArray head = socket->peek(kMaxRequestBytes);
  const qsizetype end = head.indexOf('\n');
  if (end < 0) {
    if (head.size() >= kMaxRequestBytes) Close(socket);  // not a request of ours
    return;                                               // else wait for the rest of the line
  }
  // Answer may show a window; the socket may be closed meanwhile.
  const QPointer<QLocalSocket> guarded(socket);
  const QByteArray reply = Answer ? Answer(head.left(end)) : QByteArray();
  if (!guarded || !open_.contains(socket)) return;
  socket->write(reply);
  socket->flush();  // a short reply goes at once, and stays readable after the close
  Close(socket);
}

void LocalRequestServer::Close(QLocalSocket* socket) {
  if (!open_.remove(socket)) return;
  socket->abort();
  socket->deleteLater();
}
