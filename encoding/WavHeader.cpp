#include "encoding/WavHeader.h"

#include <algorithm>
#include <cstring>

namespace {

uint8_t* PutTag(uint8_t* at, const char (&tag)[5]) {
  std::memcpy(at, tag, 4);
  return at + 4;
}

uint8_t* PutSize(uint8_t* at, int64_t value) {
  const auto v = static_cast<uint32_t>(std::clamp<int64_t>(value, 0, WavHeader::kMaxFileLength));
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  return at + 4;
}

}  // namespace

void WavHeader::Build(std::span<const uint8_t> format, int64_t fileLength, std::span<uint8_t> out) {
  const auto formatLength = static_cast<int64_t>(format.size());
  uint8_t* at = out.data();
  at = PutTag(at, "RIFF");
  at = PutSize(at, fileLength - 8);
  at = PutTag(at, "WAVE");
  at = PutTag(at, "fmt ");
  at = PutSize(at, formatLength);
  std::memcpy(at, format.data(), format.size());
  at += format.size();
  at = PutTag(at, "data");
  PutSize(at, fileLength - Size(formatLength));
}
