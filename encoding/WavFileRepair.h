// WavFileRepair: mends the size fields of a RIFF WAVE recording that this program
// left unfinished (killed between two header refreshes, crash, power cut), so
// every reader sees all the audio it holds.
//
// Touches only what is provably such a file: a regular file (never through a
// symbolic link, see RepairTarget), not locked by a running recording
// (FileRecord holds flock), at most WavHeader::kMaxFileLength bytes, with the
// header our writer writes ("fmt " then "data", sizes of one file length, none
// 0xFFFFFFFF), whose RIFF size disagrees with its length while what follows the
// declared audio is not a valid chunk chain (a finished file with tag chunks or
// a pad byte after the audio is left alone), nor an ID3v1 tag, nor zeros
// (unless the journal proves the file ours: RepairJournalled).
// The repair points both sizes at the end of the file; it shortens the file
// only to cut a trailing partial frame (< one block), or to drop the tag
// chunks our tagging was killed appending (sizes still of the bare audio,
// followed only by our chunk kinds, the last one possibly cut short).
//
// Bounded work for any input: the layout is read by seeking from chunk to
// chunk, at most kMaxChunks chunks before the audio and as many after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RepairTarget;

class WavFileRepair {
 public:
  enum class Outcome {
    NotWave,     // missing, not a regular file, or not RIFF WAVE with "fmt " and "data" (left alone)
    Consistent,  // nothing to mend: sizes agree with the length, or chunks follow the audio
    Unprovable,  // sizes disagree, but not in the way a cut-off recording shows (left alone)
    InUse,       // a running recording holds the file's lock (left alone)
    Repaired,    // sizes rewritten to describe the audio the file holds
    Failed,      // needed a repair but the file could not be read or written (`reason` says why)
  };

  static constexpr int kMaxChunks = 64;
  // Bytes after the declared audio read to tell zeros from audio.
  static constexpr int64_t kMaxZeroScan = 1 << 20;
  // Longest header FixedHeaderBytes reads; our format records are far shorter.
  static constexpr int64_t kMaxHeaderBytes = 1 << 20;

  // Largest tag chunk of ours after the audio (TakeMetadataWriter stays far below).
  static constexpr int64_t kMaxTagChunk = 1 << 22;

  // Looks at `path` and repairs it when it is provably a cut-off recording.
  // On Failed, `reason` (when given) receives the system's words.
  static Outcome Repair(const std::string& path, std::string* reason = nullptr);
  // The same on a file the caller opened (for writing too, where it may be mended) and proved ours.
  static Outcome Repair(const RepairTarget& file, std::string* reason = nullptr);
  // The same on a file the recording journal proves ours (RecordingIdentity):
  // zeros after the declared audio are its silence and mended as audio, so a
  // quiet input's file keeps the length of the take's other files.
  static Outcome RepairJournalled(const RepairTarget& file, std::string* reason = nullptr);
  // True when Repair would change the file (read only, takes no lock).
  static bool NeedsRepair(const std::string& path);
  struct AudioSpan {
    int64_t start = 0;  // first audio byte
    int64_t size = 0;   // audio bytes; the file ends right after them
    int64_t tagBytes = 0;  // OwnAudio: tag chunks after the audio (with its pad byte) the RIFF size covers
  };
  // The audio of the file open at `fd` when it is a finished recording of
  // ours with nothing after its audio (our header, sizes of its length).
  static std::optional<AudioSpan> BareAudio(int fd);
  // The audio of the file open at `fd` when it is a finished recording of ours
  // our tagging may rewrite: bare, tagged (whole chunks of ours after the audio,
  // the RIFF size covering them; `tagBytes` counts them), or with the chunks a
  // kill left while the sizes still describe the audio (`tagBytes` 0: they go).
  static std::optional<AudioSpan> OwnAudio(int fd);
  // The header up to the audio with both size fields zeroed: what stays as the
  // recording's start wrote it. Empty when `fd` is no RIFF WAVE file.
  static std::vector<uint8_t> FixedHeaderBytes(int fd);
};
