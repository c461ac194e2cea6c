// ConversionStream: turns 16-bit PCM blocks into the bytes of a target wave format
// (PCM at another rate/width/channel count, G.711, ADPCM, GSM, MPEG Layer-3).
// EncoderWAV owns one; the real one sits on the codec libraries, tests script one.
//
// Contract: Open once per recording, then any number of Convert calls, one Flush
// at the end, Release. Convert always takes every whole input frame it is given
// (codecs with fixed blocks keep the partial block and emit it at Flush), so a
// caller never has to hand bytes in again. Single thread; calls must not overlap.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/WAVEFORMATEX.h"

class ConversionStream {
 public:
  virtual ~ConversionStream() = default;

  // Prepares the conversion from `source` (16-bit PCM) into the format record
  // `target` (18 + cbSize bytes). False when the pair is not supported; nothing
  // stays open then. Opening again releases the previous conversion first.
  virtual bool Open(const WAVEFORMATEX& source, std::span<const uint8_t> target) = 0;

  // Upper bound, in bytes, of what one Convert of up to one second of input (or
  // the final Flush) can produce. Valid after a successful Open.
  virtual int32_t OutputBytesPerSecond() const = 0;

  // Converts the whole input frames among `srcLen` bytes at `src` into `dst`
  // (capacity `dstCap` bytes). `consumed` receives the source bytes taken (whole
  // frames, the trailing partial frame is left), `produced` the bytes written to
  // `dst`. False on failure; `produced` still counts what was written before.
  virtual bool Convert(const uint8_t* src, int32_t srcLen, uint8_t* dst, int32_t dstCap, int32_t& consumed,
                       int32_t& produced) = 0;

  // Emits everything still held (partial codec block, resampler and encoder
  // delay). False on failure; `produced` is 0 then.
  virtual bool Flush(uint8_t* dst, int32_t dstCap, int32_t& produced) = 0;

  // Frees the conversion; safe to call when nothing is open.
  virtual void Release() = 0;

  // Why the last Open, Convert or Flush failed, in the libraries' own words.
  virtual const std::string& LastError() const = 0;
};
