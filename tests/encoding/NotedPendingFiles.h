// NotedPendingFiles: a PendingFiles installed for one test that keeps what it
// was told as the journal would get it: the path, whether anything was under
// that name yet, and which file the descriptor led to.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "encoding/FileIdentity.h"
#include "encoding/PendingFiles.h"

class NotedPendingFiles : public PendingFiles {
 public:
  struct Call {
    std::string path;
    bool named = false;                 // something was under `path` at the call
    std::optional<FileIdentity> file;   // Note only
  };

  NotedPendingFiles() { Install(this); }
  ~NotedPendingFiles() override { Install(nullptr); }

  void Note(const std::string& path, int fd) override { notes.push_back({path, Named(path), FileIdentity::Of(fd)}); }
  void Drop(const std::string& path) override { drops.push_back({path, Named(path), std::nullopt}); }

  std::vector<Call> notes;
  std::vector<Call> drops;

 private:
  static bool Named(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
  }
};
