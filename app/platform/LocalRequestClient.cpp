#include "app/platform/LocalRequestClient.h"

#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>

#include "app/platform/LocalRequestServer.h"
#include "app/platform/PeerCredentials.h"

QByteArray LocalRequestClient::Ask(const QString& socketPath, const QByteArray& request,
                                   std::chrono::milliseconds limit) {
  constexpr qsizetype kMaxReplyBytes = LocalRequestServer::kMaxReplyBytes;
  error_.clear();
  delivered_ = false;
  QLocalSocket socket;
  QEventLoop loop;
  QByteArray reply;
  QObject::connect(&socket, &QLocalSocket::connected, &loop, [&] {
    if (PeerCredentials::IsUser(socket.socketDescriptor(), serverUser_, &error_)) {
      socket.write(request);
    } else {
      socket.abort();
      loop.quit();
    }
  });
  // Delivered once the whole line is in the listener's socket: one closed before that never read it.
  qint64 written = 0;
  QObject::connect(&socket, &QLocalSocket::bytesWritten, &loop, [&](qint64 bytes) {
    written += bytes;
    delivered_ = written >= request.size();
  });
  QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    reply += socket.read(kMaxReplyBytes - reply.size());
    if (reply.endsWith('\n') || reply.size() >= kMaxReplyBytes) loop.quit();
  });
  QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, [&] { loop.quit(); });
  QObject::connect(&socket, &QLocalSocket::disconnected, &loop, [&] { loop.quit(); });
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  socket.connectToServer(socketPath);
  if (socket.state() != QLocalSocket::UnconnectedState && error_.isEmpty()) loop.exec();
  if (!reply.endsWith('\n') && socket.bytesAvailable() > 0) reply += socket.read(kMaxReplyBytes - reply.size());
  if (reply == LocalRequestServer::kBusyReply) {
    delivered_ = false;
    error_ = QStringLiteral("the listener is busy");
    return {};
  }
  if (reply.endsWith('\n')) return reply;
  if (error_.isEmpty()) error_ = socket.errorString();
  return {};
}
