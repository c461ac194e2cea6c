// Encoder: what the recording controller needs of an output writer.
// EncoderInit opens a file, Encode appends one 16-bit PCM block, EncoderClose
// finishes the file. UI thread only; calls must not overlap.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/TargetRules.h"

enum EncoderResult : int32_t {
  ENC_OK = 0,
  ENC_FILE_ERROR = 2,        // file cannot be created; or close while no file is open
  ENC_INIT_FAILED = 7,       // bad rate/channels, or the conversion stream cannot be opened
  ENC_BUFFER_TOO_LARGE = 8,  // block longer than one second of input
  ENC_CONVERT_FAILED = 9,    // the conversion failed
  ENC_WRITE_ERROR = 10,      // the file took fewer bytes than produced (disk full, size limit)
  ENC_CANCELLED = 11,        // the format chooser was cancelled or failed
  ENC_TARGET_HOLDS_DATA = 12,  // the output already holds data the rules keep (left untouched)
};

class Encoder {
 public:
  virtual ~Encoder() = default;

  virtual std::string Description() const = 0;
  virtual std::string Extension() const = 0;  // without the dot
  virtual EncoderResult EncoderClose() = 0;
  // buffer_len bytes of 16-bit PCM at buffer_ptr; buffer_used receives the bytes consumed.
  virtual EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) = 0;
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
};
