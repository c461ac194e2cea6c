#include "app/platform/SingleInstance.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include "app/platform/LocalRequestClient.h"
#include "app/platform/RemoteRequest.h"
#include "app/platform/UserRuntimeFolder.h"

#include "app/platform/FolderMaker.h"

namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShownReply = "ok\n";

QString SocketPathFor(const QString& programFolder, QString* error) {
  const QString folder = UserRuntimeFolder::Locate(error);
  return folder.isEmpty() ? QString() : folder + '/' + SingleInstance::ServerName(programFolder);
}

}  // namespace

SingleInstance::SingleInstance(const QString& programFolder, const QString& lockFile, QObject* parent)
    : QObject(parent), socketPath_(SocketPathFor(programFolder, &folderError_)), lockFile_(lockFile), lock_(lockFile) {
  // Never stale by age: a copy that runs for days keeps its lock. A crashed
  // copy's lock is still recognised by its dead process.
  lock_.setStaleLockTime(0);
  server_.Answer = [this](const QByteArray& request) { return OnRequest(request); };
}

// The socket (server_) closes before the lock (lock_) is let go, by member order.
SingleInstance::~SingleInstance() = default;

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
  if (socketPath_.isEmpty()) {
    error_ = folderError_;
    return;
  }
  // Holding the lock proves that a socket at this path is a crashed copy's.
  if (!server_.Listen(socketPath_)) error_ = server_.ErrorText();
}

void SingleInstance::OnShowRequested(std::function<void()> handler) {
  showRequested_ = std::move(handler);
  server_.AnswerWaiting();
}

void SingleInstance::OnCommandRequested(std::function<QByteArray(const QByteArray& request)> handler) {
  commandRequested_ = std::move(handler);
  server_.AnswerWaiting();
}

void SingleInstance::RefuseShowRequests(const QString& reason) {
  refusal_ = reason;
  server_.AnswerWaiting();
}

std::optional<QByteArray> SingleInstance::OnRequest(const QByteArray& request) {
  if (request + '\n' != kShowRequest) {
    if (!commandRequested_) return std::nullopt;
    return commandRequested_(request);
  }
  if (!refusal_.isEmpty()) return RemoteRequest::Reply(false, refusal_);
  if (!showRequested_) return std::nullopt;
  showRequested_();
  return kShownReply;
}

bool SingleInstance::HeldByLiveCopy() const {
  qint64 pid = 0;
  QString host, application;
  if (!lock_.getLockInfo(&pid, &host, &application) || pid <= 0) return false;
  // EPERM: alive, but another user's; the channel then refuses it anyway.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool SingleInstance::AskRunningCopyToShow(std::chrono::milliseconds limit) {
  const QByteArray reply = AskRunningCopy(kShowRequest, limit, std::chrono::seconds(1));
  if (reply.isEmpty() || reply == kShownReply) return !reply.isEmpty();
  const auto refused = RemoteRequest::ReadReply(reply);
  error_ = refused ? refused->text : QString::fromUtf8(reply.trimmed());
  return false;
}

QByteArray SingleInstance::AskRunningCopy(const QByteArray& request, std::chrono::milliseconds limit,
                                          std::optional<std::chrono::milliseconds> perTry) {
  delivered_ = false;
  if (socketPath_.isEmpty()) {
    error_ = folderError_;
    return {};
  }
  const QDeadlineTimer deadline(limit.count());
  // The running copy takes the lock before it listens: retry while it is starting.
  for (;;) {
    const qint64 remaining = deadline.remainingTime();
    const QByteArray reply =
        TryAskOnce(request, std::chrono::milliseconds(perTry ? std::min<qint64>(remaining, perTry->count()) : remaining));
    // Got by the copy, a request may have run even without an answer: never sent twice unasked.
    if (!reply.isEmpty() || deadline.hasExpired() || (delivered_ && !perTry)) return reply;
    QThread::msleep(100);
  }
}

QByteArray SingleInstance::TryAskOnce(const QByteArray& request, std::chrono::milliseconds limit) {
  LocalRequestClient client;
  const QByteArray reply = client.Ask(socketPath_, request, limit);
  delivered_ = client.Delivered();
  if (reply.isEmpty()) error_ = client.ErrorText();
  return reply;
}
