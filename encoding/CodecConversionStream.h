// CodecConversionStream: the conversion stream on the codec libraries. 16-bit PCM
// input, 1 or 2 channels, goes through a resampler/remixer when rate, channel
// count or sample layout differ, is cut into the codec's frames and encoded:
//   s16 in -> [resample/remix/format] -> frames of the codec -> encoder -> bytes
// Targets: PCM 8/16 bit at any rate 1000..192000 Hz, A-law, u-law, IMA ADPCM,
// MS ADPCM (standard coefficients), GSM 6.10 (8000 Hz mono), MPEG Layer-3.
// A 16-bit PCM target equal to the input is a plain copy.
#pragma once

#include <memory>
#include <string>

#include "encoding/ConversionStream.h"

class CodecConversionStream : public ConversionStream {
 public:
  CodecConversionStream();
  ~CodecConversionStream() override;
  CodecConversionStream(const CodecConversionStream&) = delete;
  CodecConversionStream& operator=(const CodecConversionStream&) = delete;

  bool Open(const WAVEFORMATEX& source, std::span<const uint8_t> target) override;
  int32_t OutputBytesPerSecond() const override;
  bool Convert(const uint8_t* src, int32_t srcLen, uint8_t* dst, int32_t dstCap, int32_t& consumed,
               int32_t& produced) override;
  bool Flush(uint8_t* dst, int32_t dstCap, int32_t& produced) override;
  void Release() override;
  const std::string& LastError() const override;

 private:
  struct Codec;  // codec-library state, defined in the source file
  bool Fail(std::string why);  // keeps `why` for LastError; false
  std::unique_ptr<Codec> codec_;
  std::string lastError_;
  int32_t sourceFrameBytes_ = 0;  // bytes per input sample frame
  int32_t outputBound_ = 0;       // see OutputBytesPerSecond
  bool copy_ = false;             // target equals input: bytes pass unchanged
};
