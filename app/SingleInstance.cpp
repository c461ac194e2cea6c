#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include "app/FolderMaker.h"

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShownReply = "ok\n";
// A request is one short line; anything longer is not ours and is dropped.
constexpr qint64 kMaxRequestBytes = 16;

}  // namespace

SingleInstance::SingleInstance(const QString& programFolder, const QString& lockFile, QObject* parent)
    : QObject(parent), serverName_(ServerName(programFolder)), lockFile_(lockFile), lock_(lockFile) {
  // Never stale by age: a copy that runs for days keeps its lock. A crashed
  // copy's lock is still recognised by its dead process.
  lock_.setStaleLockTime(0);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() {
  server_.close();
  lock_.unlock();
}

QString SingleInstance::ServerName(const QString& programFolder) {
  const QFileInfo info(programFolder);
  const QString folder = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
  const QByteArray key = folder.toUtf8() + '\n' + QByteArray::number(::getuid());
  return "tamblin-" + QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
}

SingleInstance::ClaimResult SingleInstance::Claim() {
  // An installed program's first run has no state folder yet.
  error_ = FolderMaker::EnsureFolderOf(lockFile_);
  if (!error_.isEmpty()) return ClaimResult::NoLock;
  if (!lock_.tryLock(0)) {
    if (lock_.error() == QLockFile::LockFailedError) return ClaimResult::AlreadyRunning;
    error_ = lock_.error() == QLockFile::PermissionError ? QStringLiteral("Permission denied")
                                                         : QStringLiteral("Unknown error");
    return ClaimResult::NoLock;
  }
  Listen();
  return ClaimResult::Running;
}

void SingleInstance::Listen() {
  // Holding the lock proves that a socket of this name is a crashed copy's.
  QLocalServer::removeServer(serverName_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(serverName_)) error_ = server_.errorString();
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequest(socket); });
  }
}

void SingleInstance::OnRequest(QLocalSocket* socket) {
  if (!socket->canReadLine() && socket->bytesAvailable() < kMaxRequestBytes) return;  // wait for the whole line
  const QByteArray request = socket->read(kMaxRequestBytes);
  socket->readAll();
  if (request == kShowRequest) {
    if (ShowRequested) ShowRequested();
    socket->write(kShownReply);
    socket->flush();
  }
  socket->disconnectFromServer();
}

bool SingleInstance::AskRunningCopyToShow(std::chrono::milliseconds limit) {
  const QDeadlineTimer deadline(limit.count());
  // The running copy takes the lock before it listens: retry while it is starting.
  while (!TryAskOnce(std::chrono::milliseconds(std::min<qint64>(deadline.remainingTime(), 1000)))) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(100);
  }
  return true;
}

bool SingleInstance::TryAskOnce(std::chrono::milliseconds limit) {
  // An event loop of its own rather than the blocking waits, so that the
  // asking and the running copy may even share one thread (tests).
  QLocalSocket socket;
  QEventLoop loop;
  QByteArray reply;
  connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(kShowRequest); });
  connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
    reply += socket.read(kMaxRequestBytes);
    if (reply.endsWith('\n') || reply.size() >= kMaxRequestBytes) loop.quit();
  });
  connect(&socket, &QLocalSocket::errorOccurred, &loop, [&] { loop.quit(); });
  connect(&socket, &QLocalSocket::disconnected, &loop, [&] { loop.quit(); });
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  socket.connectToServer(serverName_);
  if (socket.state() != QLocalSocket::UnconnectedState) loop.exec();
  if (!reply.endsWith('\n') && socket.isOpen()) reply += socket.read(kMaxRequestBytes);
  if (reply == kShownReply) return true;
  error_ = socket.errorString();
  return false;
}
