// ScriptedConversionStream: a conversion stream for EncoderWAV tests. It copies
// whole input frames unchanged and can be told to refuse opening, to fail a
// conversion after producing some bytes, or to fail (or misreport) the flush.
#pragma once

#include <algorithm>
#include <cstring>

#include "encoding/ConversionStream.h"

class ScriptedConversionStream : public ConversionStream {
 public:
  bool openSucceeds = true;
  bool convertFails = false;
  int32_t producedOnFailure = 0;  // bytes (0xEE) a failing Convert still emits
  bool flushFails = false;
  int32_t flushBytes = 0;         // bytes (0xF1) Flush emits; a failing Flush claims them too
  int opens = 0;
  int releases = 0;
  bool open = false;

  std::string openError = "scripted refusal";  // LastError after a refused Open

  bool Open(const WAVEFORMATEX& source, std::span<const uint8_t>) override {
    ++opens;
    frameBytes_ = source.nBlockAlign;
    bound_ = static_cast<int32_t>(source.nAvgBytesPerSec);
    open = openSucceeds;
    return openSucceeds;
  }
  int32_t OutputBytesPerSecond() const override { return bound_; }
  bool Convert(const uint8_t* src, int32_t srcLen, uint8_t* dst, int32_t dstCap, int32_t& consumed,
               int32_t& produced) override {
    consumed = srcLen / frameBytes_ * frameBytes_;
    if (convertFails) {
      produced = std::min(producedOnFailure, dstCap);
      std::memset(dst, 0xEE, static_cast<size_t>(produced));
      return false;
    }
    produced = std::min(consumed, dstCap);
    std::memcpy(dst, src, static_cast<size_t>(produced));
    return true;
  }
  bool Flush(uint8_t* dst, int32_t dstCap, int32_t& produced) override {
    produced = std::min(flushBytes, dstCap);
    if (!flushFails) std::memset(dst, 0xF1, static_cast<size_t>(produced));
    return !flushFails;
  }
  void Release() override {
    ++releases;
    open = false;
  }
  const std::string& LastError() const override { return openError; }

 private:
  int32_t frameBytes_ = 1;
  int32_t bound_ = 0;
};
