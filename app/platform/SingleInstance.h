// SingleInstance: one running copy of the program per program folder, so two
// copies never number, open and fill the same recording.
//
// The running copy holds the folder's lock file (QLockFile; a lock that a
// crashed copy left behind is recognised by its dead process and taken over)
// and listens on a local socket whose name is derived from the folder and the
// user, so copies in different folders never meet. A later start finds the lock
// held, asks the running copy over that socket to bring its window to the front,
// or passes on a command (--stop, --status ...: CommandRequested), and ends.
// UI thread only.
//
// Only the same user can talk over the socket, either way round:
// - it lies in the user's private folder ($XDG_RUNTIME_DIR, else
//   "<temp>/tamblin-<uid>"), used only when it is a real folder owned by the
//   user with mode 0700 (UserRuntimeFolder), so no one else can reach, take or
//   replace the name;
// - both ends check the other's uid with SO_PEERCRED (PeerCredentials): the
//   running copy closes a connection of another user unread, a later start
//   treats a listener of another user as no answer.
// The listener bounds what any client can cost it (LocalRequestServer).
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

#include "app/platform/LocalRequestServer.h"

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class ClaimResult {
    Running,         // this is the copy for the folder (holds the lock)
    AlreadyRunning,  // a live copy holds the lock
    NoLock,          // the lock file cannot be made (ErrorText says why)
  };

  // `lockFile` lies inside `programFolder` (ProgramFolder::LockFile()).
  SingleInstance(const QString& programFolder, const QString& lockFile, QObject* parent = nullptr);
  ~SingleInstance() override;  // lets go of the lock and the socket

  // Makes the lock's folder when missing, takes the lock and starts listening
  // for later starts. Running also when the socket cannot listen or no private
  // folder can hold it (the copy is still the only one; ErrorText says why).
  ClaimResult Claim();
  // After AlreadyRunning: asks the running copy to show its window and waits up
  // to `limit` for its answer (a copy that is still starting gets that long to
  // listen). True when it answered.
  bool AskRunningCopyToShow(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Without claiming anything: whether a live process holds the folder's lock
  // (a copy that runs, or one still starting). A later start that only asks
  // the running copy never takes the lock, not even for a moment, so a copy
  // starting meanwhile never takes it for another one.
  bool HeldByLiveCopy() const;
  // After AlreadyRunning or HeldByLiveCopy: sends `request` (one line, its newline included) to
  // the running copy as AskRunningCopyToShow does; its answer line, empty when
  // none came (ErrorText says why; RequestDelivered whether it may have run).
  // Sent again only while it surely did not run (no listener yet, or a busy
  // one), unless `perTry` is given: then a copy that does not answer within
  // `perTry` of a connection is asked again, only for requests that may
  // arrive twice.
  QByteArray AskRunningCopy(const QByteArray& request, std::chrono::milliseconds limit,
                            std::optional<std::chrono::milliseconds> perTry = std::nullopt);
  // After AskRunningCopy without an answer: whether the running copy got the request.
  bool RequestDelivered() const { return delivered_; }
  // Why the last Claim or AskRunningCopyToShow fell short (the system's words).
  const QString& ErrorText() const { return error_; }

  // `handler` runs on the UI thread, from the event loop, when a later start
  // asks for the window. A request that comes before its handler is set
  // waits for it (a copy still loading answers once it can).
  void OnShowRequested(std::function<void()> handler);
  // The same for any other request line (given without its newline);
  // `handler` returns the answer line, empty for none (the connection is just
  // closed). It may run event loops of its own.
  void OnCommandRequested(std::function<QByteArray(const QByteArray& request)> handler);
  // From now on a request for the window is refused at once with `reason`
  // (a copy with no window); other requests go to OnCommandRequested's handler.
  void RefuseShowRequests(const QString& reason);

  // The socket name for `programFolder` (its canonical path, hashed with the
  // user id): the same for every path to one folder.
  static QString ServerName(const QString& programFolder);
  // Where the socket lies: ServerName in the user's private folder; empty when
  // there is none (then the channel is off, the lock still guards the folder).
  const QString& SocketPath() const { return socketPath_; }

 private:
  void Listen();
  std::optional<QByteArray> OnRequest(const QByteArray& request);
  QByteArray TryAskOnce(const QByteArray& request, std::chrono::milliseconds limit);

  std::function<void()> showRequested_;
  std::function<QByteArray(const QByteArray& request)> commandRequested_;
  QString refusal_;  // RefuseShowRequests' reason
  bool delivered_ = false;

  QString folderError_;  // why there is no SocketPath
  QString socketPath_;
  QString lockFile_;
  QLockFile lock_;
  LocalRequestServer server_;  // after lock_: the socket closes before the lock goes
  QString error_;
};
