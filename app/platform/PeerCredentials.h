// PeerCredentials: which user is at the other end of a local socket, as the
// kernel recorded it when the connection was made (SO_PEERCRED), so that a
// process of another user can neither pose as a later start nor as the
// running copy.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QtGlobal>

class PeerCredentials {
 public:
  // True when the peer of the connected local socket `descriptor` runs as
  // `user`; otherwise false with `why` (the system's words, or the peer's uid).
  static bool IsUser(qintptr descriptor, uid_t user, QString* why);
};
