// EncoderWAV: writes the recording as a RIFF WAVE file, converting each 16-bit PCM
// block on the fly into the target format (PCM, A-law, u-law, ADPCM, GSM, MP3).
//
// File layout with WriteHeader on: "RIFF" size "WAVE" "fmt " L <L format bytes>
// "data" size <audio>; the header space is reserved at EncoderInit and written at
// EncoderClose. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/WAVEFORMATEX.h"
#include "encoding/Encoder.h"
#include "encoding/FormatChooser.h"

class EncoderWAV : public Encoder {
 public:
  EncoderWAV();
  ~EncoderWAV() override;  // finishes a running file
  EncoderWAV(const EncoderWAV&) = delete;
  EncoderWAV& operator=(const EncoderWAV&) = delete;

  bool WriteHeader() const;
  // Throws AppError(90, "Encoder already running!") while a file is open.
  void WriteHeader(bool bln);
  std::string FormatTag() const;  // family of the target format, "PCM" at first
  std::string FormatID() const;   // description, "44.1 kHz 16 Bit Stereo" at first

  void SetPCMFormat(int32_t samplerate, int16_t Channels, const std::string& FormatID, const std::string& FormatTag);
  void SetFormat(const void* wfx_ptr, int32_t wfx_len, const std::string& FormatID, const std::string& FormatTag);
  // ENC_OK when the user chose a format, ENC_CANCELLED otherwise (nothing changes).
  EncoderResult SelectFormat(int32_t samplerate, int16_t Channels, FormatChooser& hwndOwner, const std::string& Title);

  // The stored target format: record plus extra bytes (18 + cbSize bytes).
  std::span<const uint8_t> TargetFormat() const;

  static WAVEFORMATEX MakePCMFormat(int32_t samplerate, int16_t channels, int16_t bits);

  // Encoder
  std::string Description() const override;  // "Wave ACM Encoder"
  std::string Extension() const override;    // "wav"
  EncoderResult EncoderClose() override;
  EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) override;
  int32_t EncoderMetrics(int32_t info) override;
  EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) override;

 private:
  // Implementation state: see EncoderWAV.cpp.
};
