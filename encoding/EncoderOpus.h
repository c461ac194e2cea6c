// EncoderOpus: writes the recording as an Ogg Opus file. Opus runs at 8, 12, 16,
// 24 or 48 kHz: the input is resampled to the lowest of these at or above its rate
// (48 kHz above that); decoders play it at 48 kHz. Setting: bit rate in kbit/s,
// 24..192 (variable bit rate around it); 96 for stereo and 48 for mono unless chosen.
#pragma once

#include "encoding/MuxedEncoder.h"

class EncoderOpus : public MuxedEncoder {
 public:
  std::vector<EncoderSetting> SettingChoices() const override;  // 24 .. 192 kbit/s

  std::string Description() const override;  // "Ogg Opus 音频"
  std::string Extension() const override;    // "opus"

 protected:
  int32_t DefaultSetting(int16_t Channels) const override;
  MuxerPlan Plan(int32_t samplerate, int16_t Channels, int32_t setting) const override;
  int64_t BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t setting) const override;
};
