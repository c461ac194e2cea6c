// RecordingIdentity: what proves a file to be the recording this program
// started: the file itself (device, inode, and birth time where the file
// system keeps one) and a digest of the header bytes its writer put there at
// the start and never rewrites (WAV, FLAC, Ogg or MP3; see the FixedHeaderBytes
// of WavFileRepair, FlacFileRepair and OggMpegFile). Taken when a recording has
// opened its file, compared before the start-up repair touches it: a file put
// in its place later, or rewritten in place by another program, differs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/FileIdentity.h"

class RecordingIdentity {
 public:
  enum class Container { Wave, Flac, Ogg, Mpeg };

  // The identity of the regular file open at `fd`; nullopt when it holds none
  // of those headers (nothing to prove, and nothing a repair would mend).
  static std::optional<RecordingIdentity> Of(int fd);

  // "<device> <inode> <birth> <container>-<digest>": four fields without
  // spaces; birth "<seconds>.<nanoseconds>", or "-" where none is kept.
  std::string ToText() const;
  static std::optional<RecordingIdentity> FromText(std::string_view text);

  Container container() const { return container_; }
  bool operator==(const RecordingIdentity&) const = default;

 private:
  explicit RecordingIdentity(FileIdentity file) : file_(file) {}

  FileIdentity file_;
  Container container_ = Container::Wave;
  std::string digest_;  // SHA-256 of the fixed header bytes, 64 lowercase hex digits
};
