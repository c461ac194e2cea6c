// Mp3InfoTag: the header frame an MP3 muxer puts before the audio frames: a
// silent frame holding a "Xing" or "Info" tag (frame count, byte count, seek
// table) and its LAME extension (encoder delay and padding, CRC). The muxer
// fills in the delay only when it finishes the file; a file cut off before that
// tells decoders the audio starts some 576 samples earlier than it does.
#pragma once

#include <cstdint>
#include <span>

class Mp3InfoTag {
 public:
  // Samples of decoder delay that the tag's encoder delay leaves out.
  static constexpr int kDecoderDelay = 528 + 1;

  // Writes `encoderDelay` (0..4095 samples, padding 0) into the LAME extension of
  // the header frame at the start of `frame` and renews the extension's CRC.
  // False, `frame` unchanged, when it does not start with such a frame.
  static bool SetEncoderDelay(std::span<uint8_t> frame, int encoderDelay);
};
