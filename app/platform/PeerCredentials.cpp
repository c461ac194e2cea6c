#include "app/platform/PeerCredentials.h"

#include <sys/socket.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

bool PeerCredentials::IsUser(qintptr descriptor, uid_t user, QString* why) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    *why = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  if (peer.uid == user) return true;
  *why = QCoreApplication::translate("PeerCredentials", "连接的另一端属于另一个用户 (uid %1)").arg(peer.uid);
  return false;
}
