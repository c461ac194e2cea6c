// TakeMetadataWriter: the one call that tags a finished recording file (one
// part of a long recording: its own markers) and writes its label file.
//   WAV: chunks after the audio (WavMetadataChunks, WavMetadataAppender);
//   FLAC, Ogg Opus, MP3: TagLib on a copy that replaces the file by one rename
//   (AtomicReplacement): the copy costs one pass over the file.
// A kill at any moment leaves the recording whole: untagged, or tagged, or
// (WAV) with a partial tail the start-up repair drops. Call it after the
// encoder closed the file and before its journal entry is finished.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadata.h"

class TakeMetadataWriter {
 public:
  static constexpr size_t kMaxMarkers = 999;           // CHAPTER001 .. CHAPTER999
  static constexpr size_t kMaxTextBytes = 4096;        // title, comment, program
  static constexpr size_t kMaxMarkerNameBytes = 1024;
  // Most a WAV file grows by its tags (about 1.1 MB at the limits above): the
  // room a WAV part must leave below its 4 GiB to be tagged.
  static constexpr int64_t kMaxWavTagBytes = 1 << 21;

  struct Result {
    std::string reason;  // empty on success; else what failed, in the system's words where it has some
    bool ok() const { return reason.empty(); }
  };

  // Tags the file at `path`, of `type`, recorded at `rate` frames per second.
  // The label file is written only when there are markers. On failure of one
  // of the two, the other is still done and `reason` says what failed.
  static Result Write(const std::string& path, EncoderSelection::FileType type, int32_t rate, TakeMetadata metadata);
  // Gives the tagged (or untagged) file of ours at `path` the title, start,
  // program and comment of `texts` (empty title or program: the defaults),
  // keeping its markers and loudness fields as they are; the label file is
  // not touched. Always on a copy that replaces the file by one rename, so a
  // kill leaves the old tags or the new ones. WAV: our chunks after the audio
  // are replaced (a foreign file is refused, and nothing copied).
  static Result Retag(const std::string& path, EncoderSelection::FileType type, int32_t rate, TakeMetadata texts);
  // Why `metadata` cannot be written; empty when it can.
  static std::string Invalid(const TakeMetadata& metadata, int32_t rate);
};
