#include "encoding/Mp3InfoTag.h"

#include <cstring>

extern "C" {
#include <libavutil/crc.h>
}

namespace {

// Offsets from the tag's "Xing"/"Info" on, as LAME lays the tag out.
constexpr size_t kEncoderName = 120;
constexpr size_t kDelayAndPadding = 141;
constexpr size_t kTagCrc = 154;
constexpr size_t kTagLength = 156;
constexpr size_t kCrcCoveredBytes = 190;  // of the frame, from its header on
constexpr int kMaxDelay = 4095;

// Where the tag starts: after the 4-byte frame header and the side information,
// whose length depends on the MPEG version and the channel mode. 0: no layer 3 header.
size_t TagOffset(std::span<const uint8_t> frame) {
  if (frame.size() < 4 || frame[0] != 0xFF || (frame[1] & 0xE6) != 0xE2) return 0;
  const bool mpeg1 = (frame[1] & 0x18) == 0x18;
  const bool mono = (frame[3] & 0xC0) == 0xC0;
  return 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

bool Names(std::span<const uint8_t> bytes, size_t at, const char* text) {
  return std::memcmp(bytes.data() + at, text, std::strlen(text)) == 0;
}

}  // namespace

bool Mp3InfoTag::SetEncoderDelay(std::span<uint8_t> frame, int encoderDelay) {
  const size_t tag = TagOffset(frame);
  if (tag == 0 || encoderDelay < 0 || encoderDelay > kMaxDelay || frame.size() < tag + kTagLength ||
      frame.size() < kCrcCoveredBytes) {
    return false;
  }
  if (!Names(frame, tag, "Xing") && !Names(frame, tag, "Info")) return false;
  const size_t name = tag + kEncoderName;
  if (!Names(frame, name, "LAME") && !Names(frame, name, "Lavf") && !Names(frame, name, "Lavc")) return false;
  const uint32_t delayAndPadding = static_cast<uint32_t>(encoderDelay) << 12;
  frame[tag + kDelayAndPadding] = static_cast<uint8_t>(delayAndPadding >> 16);
  frame[tag + kDelayAndPadding + 1] = static_cast<uint8_t>(delayAndPadding >> 8);
  frame[tag + kDelayAndPadding + 2] = static_cast<uint8_t>(delayAndPadding);
  const auto crc =
      static_cast<uint16_t>(av_crc(av_crc_get_table(AV_CRC_16_ANSI_LE), 0, frame.data(), kCrcCoveredBytes));
  frame[tag + kTagCrc] = static_cast<uint8_t>(crc >> 8);
  frame[tag + kTagCrc + 1] = static_cast<uint8_t>(crc);
  return true;
}
