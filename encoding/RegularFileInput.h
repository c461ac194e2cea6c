// RegularFileInput: a take opened for reading with the start-up repair's rules
// (RepairTarget: lstat first, a regular file only, O_NOFOLLOW|O_NONBLOCK), so
// a FIFO, device or link put in its place is refused at once instead of
// blocking the caller. The codec library's demuxer reads the same file through
// DemuxerUrl() while this object holds it open.
#pragma once

#include <string>

#include "encoding/RepairTarget.h"

class RegularFileInput {
 public:
  // Opens `path`; returns why not (the system's words where it has some).
  std::string Open(const std::string& path);
  int fd() const { return file_.fd(); }
  // "file:/proc/self/fd/<n>": the opened file itself, whatever its name leads to now.
  std::string DemuxerUrl() const;

 private:
  RepairTarget file_;
};
