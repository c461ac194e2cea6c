// EncoderSetting: one choice of an encoder's setting for a settings chooser: the
// value the encoder takes (compression level, or bit rate in kbit/s) and its
// description as the chooser lists it ("压缩级别 5", "96 kbit/s").
#pragma once

#include <cstdint>
#include <string>

struct EncoderSetting {
  int32_t value;
  std::string description;
};
