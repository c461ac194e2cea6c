// EncoderMP3: writes the recording as a plain MP3 file (MPEG audio layer 3 frames
// after an information frame that holds length and encoder delay; no tags).
// Setting: constant bit rate in kbit/s, 64..320, 192 by default. MPEG-2 rates
// (16..24 kHz) carry at most 160 kbit/s and MPEG-2.5 rates (8..12 kHz) 64: the
// input is resampled to the lowest rate at or above its own that carries the
// chosen bit rate (48 kHz above all).
#pragma once

#include "encoding/MuxedEncoder.h"

class EncoderMP3 : public MuxedEncoder {
 public:
  std::vector<EncoderSetting> SettingChoices() const override;  // 64 .. 320 kbit/s

  std::string Description() const override;  // "MP3 音频"
  std::string Extension() const override;    // "mp3"

  // The rate an MP3 of `kbits` kbit/s is written at for input at `samplerate` Hz.
  static int32_t OutputRate(int32_t samplerate, int32_t kbits);

 protected:
  int32_t DefaultSetting(int16_t Channels) const override;
  MuxerPlan Plan(int32_t samplerate, int16_t Channels, int32_t setting) const override;
  int64_t BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t setting) const override;
};
