// AtomicReplacement: a new version of a file, made in an unnamed file
// (O_TMPFILE) of the same folder and put in place by one rename once it is on
// the disk. Until then the old file stays as it was; a kill leaves no trace
// (the unnamed file goes with the process). Never follows a link, and puts the
// new version in place only while the path still names the file it was made
// from (or, for a new file, nothing).
#pragma once

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>

#include "common/FileDescriptor.h"

class AtomicReplacement {
 public:
  // Why the file open at `fd` is not one to copy; empty when it is.
  using Acceptance = std::function<std::string(int fd)>;
  // Starts from a copy of the regular file at `path`, locked (flock) against
  // a recording or repair meanwhile; its permissions are kept. `accept`, when
  // given, looks at the locked original first: nothing is copied of a file it refuses.
  std::string OpenCopyOf(const std::string& path, const Acceptance& accept = {});
  // Starts empty; `path` may name nothing, or a regular file to replace.
  std::string OpenEmpty(const std::string& path);
  // The new version, open for reading and writing.
  int fd() const { return copy_.get(); }
  // The new version reaches the disk and takes the path. Returns the reason on failure.
  std::string Commit();

 private:
  std::string OpenFolder(const std::string& path);
  std::string CopyContent();
  std::string StillTheOriginal() const;
  std::string Install();

  std::string path_;
  std::string name_;  // within the folder
  FileDescriptor folder_;
  FileDescriptor original_;  // invalid when there is none
  std::optional<struct stat> originalStatus_;
  FileDescriptor copy_;
};
