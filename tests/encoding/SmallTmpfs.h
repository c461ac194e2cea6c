// SmallTmpfs: a 128 KiB tmpfs mounted below a test's folder, so writes run into a
// full disk; unmounted again when it goes. Needs root: without it (or where the
// mount is refused) Mounted() is false and SkipReason() says why.
#pragma once

#include <filesystem>
#include <string>

class SmallTmpfs {
 public:
  explicit SmallTmpfs(const std::filesystem::path& parent);
  ~SmallTmpfs();
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& SkipReason() const { return skipReason_; }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
  std::string skipReason_;
};
