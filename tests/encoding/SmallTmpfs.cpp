#include "tests/encoding/SmallTmpfs.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

SmallTmpfs::SmallTmpfs(const std::filesystem::path& parent) : path_(parent / "small") {
  if (geteuid() != 0) {
    skipReason_ = "mounting a small tmpfs needs root; full-disk behaviour not tested";
    return;
  }
  std::filesystem::create_directory(path_);
  if (mount("tamblin-test", path_.c_str(), "tmpfs", 0, "size=128k") != 0) {
    skipReason_ = std::string("cannot mount a tmpfs here (") + std::strerror(errno) + "); full-disk behaviour not tested";
    return;
  }
  mounted_ = true;
}

SmallTmpfs::~SmallTmpfs() {
  if (mounted_) umount2(path_.c_str(), MNT_DETACH);
}
