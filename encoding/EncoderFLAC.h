// EncoderFLAC: writes the recording as a FLAC file (lossless) at the input's rate
// and channel count. Setting: compression level 0..8, 5 by default (higher: smaller
// files, more work). Decodes bit for bit to the samples fed.
//
// Until EncoderClose the STREAMINFO block says "total samples unknown" (decoders
// read such a file to its last whole frame); EncoderClose writes the real count.
// A file whose ending could not be written (disk full) is mended with
// FlacFileRepair on close; after a crash the start-up repair does the same.
#pragma once

#include "encoding/MuxedEncoder.h"

class EncoderFLAC : public MuxedEncoder {
 public:
  ~EncoderFLAC() override;  // finishes a running file, mending it when needed

  std::vector<EncoderSetting> SettingChoices() const override;  // levels 0..8

  std::string Description() const override;  // "FLAC 无损音频"
  std::string Extension() const override;    // "flac"

 protected:
  int32_t DefaultSetting(int16_t Channels) const override;
  MuxerPlan Plan(int32_t samplerate, int16_t Channels, int32_t setting) const override;
  // Raw PCM's rate: the most a lossless file can need, so disk checks stay on the safe side.
  int64_t BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t setting) const override;
  void MendUnfinished(const std::string& path) override;
};
