// AudioMuxer: writes 16-bit PCM into a compressed audio file through the codec
// libraries' own encoder and muxer, the file layer underneath:
//   s16 in -> [resample/sample format] -> FIFO -> codec frames -> encoder -> muxer -> FileRecord
// The muxer writes through an I/O context of ours onto a FileRecord, so a short
// write or a full disk comes back as ENC_WRITE_ERROR with the system's words.
//
// Crash safety: every Write ends with the written bytes handed to the kernel, the
// muxer is flushed after every half second of audio (an Ogg page is then closed),
// and SyncToDisk forces the data to the disk. After a failed write the file is cut
// back to where the last successful Write left it, which ends on a whole packet
// (or Ogg page), and every later call fails: the muxer's state no longer matches
// the file.
//
// Checkpoint (for a pause) adds a tail to the file: what codec and muxer still
// hold, as the stream's end (FLAC: the partial block as one verbatim frame; Ogg
// Opus and MP3: the held-back audio encoded again by a fresh codec, see
// CatchUpEncoder). The next Write or Finish cuts the tail off before anything
// else, so codec and muxer never see a checkpoint and the finished file is the
// same byte for byte; Abort keeps it, as the file's end.
//
// Open once per recording, Write any number of times, then Finish or Abort.
// Single thread; calls must not overlap.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "encoding/Encoder.h"
#include "encoding/MuxerPlan.h"
#include "encoding/TargetRules.h"

class AudioMuxer {
 public:
  AudioMuxer();
  ~AudioMuxer();  // aborts an open file
  AudioMuxer(const AudioMuxer&) = delete;
  AudioMuxer& operator=(const AudioMuxer&) = delete;

  // Opens `path` as `rules` allow (see FileRecord::Open) and writes the container's
  // header for `inputChannels` (1 or 2) channels of 16-bit PCM at `inputRate` Hz
  // fed in. ENC_FILE_ERROR when the file cannot be opened or take the header,
  // ENC_TARGET_HOLDS_DATA when the rules keep what the file holds, ENC_INIT_FAILED
  // when the codec or muxer refuses the plan (the file is not touched then);
  // LastError() says why and nothing stays open.
  EncoderResult Open(const MuxerPlan& plan, int32_t inputRate, int16_t inputChannels, const std::string& path,
                     TargetRules rules);

  // Encodes `frames` interleaved sample frames; every one is kept (a partial codec
  // frame waits for the next call or Finish). ENC_CONVERT_FAILED when the codec
  // fails, ENC_WRITE_ERROR when the file did not take the output.
  EncoderResult Write(const int16_t* samples, int32_t frames);

  // Forces what was written to the disk (fdatasync). ENC_WRITE_ERROR on failure.
  EncoderResult SyncToDisk();

  // Writes the tail (replacing an earlier one) and forces the file to the disk:
  // a process killed before the next call leaves a file that holds every sample
  // written (FLAC bit for bit; Opus and MP3 to within one codec frame, after the
  // start-up repair). ENC_WRITE_ERROR when the file or the disk refused the tail,
  // ENC_CONVERT_FAILED when no tail could be built (the file is synced as it is
  // then); neither breaks the recording. LastError() says why.
  EncoderResult Checkpoint();

  // Encodes what the resampler, FIFO and codec still hold, finishes the container
  // (a header that needs the final length is rewritten) and closes the file.
  // ENC_OK when all of it reached the file; the file is closed in any case.
  EncoderResult Finish();

  // Closes the file as it is, without the container's ending.
  void Abort();

  // For a recording that never started: closes the file and leaves the path as it
  // was before Open (see FileRecord::Discard). False when none is open or the
  // file could not be restored.
  bool Discard();

  bool IsOpen() const { return session_ != nullptr; }
  // Bytes the open file holds (a checkpoint's tail included), counted; -1 when none is open.
  int64_t FileBytes() const;
  // Path of the open file; empty when closed.
  std::string Path() const;
  // Why the last failed call failed, in the libraries' or the system's words.
  const std::string& LastError() const { return lastError_; }

 private:
  struct Session;  // codec-library state, defined in the source file
  EncoderResult Fail(EncoderResult result, std::string why);
  std::unique_ptr<Session> session_;
  std::string lastError_;
};
