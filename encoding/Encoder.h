// Encoder: what the recording controller needs of an output writer.
// EncoderInit opens a file, Encode appends one 16-bit PCM block, EncoderClose
// finishes the file. One thread at a time (the recording thread while a
// recording runs); calls must not overlap. Checkpoint hands
// everything fed so far to the disk (for a pause).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "encoding/TargetRules.h"

enum EncoderResult : int32_t {
  ENC_OK = 0,
  ENC_FILE_ERROR = 2,        // file cannot be created; or close while no file is open
  ENC_INIT_FAILED = 7,       // bad rate/channels, or the conversion stream cannot be opened
  ENC_BUFFER_TOO_LARGE = 8,  // block longer than one second of input
  ENC_CONVERT_FAILED = 9,    // the conversion failed
  ENC_WRITE_ERROR = 10,      // the file took fewer bytes than produced (disk full, file-size limit)
  ENC_CANCELLED = 11,        // the format chooser was cancelled or failed
  ENC_SIZE_LIMIT = 12,       // the block could push the file past the format's size limit; nothing written
  ENC_TARGET_HOLDS_DATA = 13,  // the output already holds data the rules keep (left untouched)
};

class Encoder {
 public:
  virtual ~Encoder() = default;

  virtual std::string Description() const = 0;
  virtual std::string Extension() const = 0;  // without the dot
  virtual EncoderResult EncoderClose() = 0;
  // buffer_len bytes of 16-bit PCM at buffer_ptr; buffer_used receives the bytes consumed.
  virtual EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) = 0;
  // Hands everything fed so far to the file and forces it to the disk, so a
  // process killed before the next call leaves a file that, after the start-up
  // repair, holds all the audio fed: PCM WAV and FLAC bit for bit, Ogg Opus and
  // MP3 to within one codec frame, WAV in a compressed format up to its last
  // whole codec block. The finished file is the same byte for byte with or
  // without checkpoints; Encode and EncoderClose go on as before.
  // Meant for a pause: it may write and sync more than a block does.
  // ENC_FILE_ERROR while no file is open; ENC_WRITE_ERROR when the file or the
  // disk refused; ENC_CONVERT_FAILED when held-back audio could not be put into
  // the file (what it holds is synced all the same). The recording goes on
  // after a failed checkpoint.
  virtual EncoderResult Checkpoint() = 0;
  // info 1: input bytes per second; info 0: input block align; -1 when not running; else 0.
  virtual int32_t EncoderMetrics(int32_t info) = 0;
  virtual EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) = 0;
  // How the next EncoderInit treats an output that already exists; kept until changed.
  virtual void OutputRules(TargetRules rules) = 0;
  // Instead of EncoderClose when the recording never started: releases the
  // stream and leaves the output as it was before EncoderInit (emptied; removed
  // when EncoderInit created it). ENC_FILE_ERROR when no file is open or the
  // file could not be restored.
  virtual EncoderResult EncoderDiscard() = 0;
  // Average bytes per second the chosen output format writes (for disk-space
  // checks before and during a recording); 0 when unknown.
  virtual int64_t TargetBytesPerSecond() const { return 0; }
  // Why the last EncoderInit failed, in its origin's words (the codec library's,
  // the system's, or the parameter refused); empty after a successful one or when
  // the encoder cannot tell.
  virtual std::string InitError() const { return {}; }
  // Whether the closed file is one whose markers and tags can be written
  // afterwards (a real file of its type, not a stand-in).
  virtual bool WritesTaggableFile() const { return false; }
  // Bytes the open file holds, as counted by the writes (no file system call,
  // so it may be asked after every block); -1 when none is open or unknown.
  virtual int64_t FileBytes() const { return -1; }
  // A new encoder, idle, writing the same type and format with the same
  // settings: for another file of the same take (one per input). None when
  // this encoder cannot make one.
  virtual std::unique_ptr<Encoder> Sibling() const { return nullptr; }
};
