// UserRuntimeFolder: the folder for this user's local sockets, one that no other
// user can enter or change. $XDG_RUNTIME_DIR when it is a real folder (no link)
// owned by the user with mode 0700; otherwise "<temp>/tamblin-<uid>", created
// so. A fallback that exists but is anything else (another owner, a wider mode,
// a link, a file) may be someone's trap and is refused, never repaired.
#pragma once

#include <sys/types.h>

#include <QString>

class UserRuntimeFolder {
 public:
  // From the environment ($XDG_RUNTIME_DIR, the temporary folder) for the
  // calling user. Empty when refused, with `error` saying why.
  static QString Locate(QString* error);
  // Same from the given places and user (`runtimeDir` may be empty).
  static QString Locate(const QString& runtimeDir, const QString& tempFolder, uid_t user, QString* error);

  // True when `folder` itself (not a link's target) is a folder owned by
  // `user` with mode 0700; otherwise false with `why`.
  static bool IsPrivate(const QString& folder, uid_t user, QString* why);

 private:
  static QString MakeFallback(const QString& tempFolder, uid_t user, QString* error);
};
