#include "encoding/OggPageScanner.h"

#include <algorithm>
#include <cstring>

namespace {

uint64_t LittleEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

void OggPageScanner::Scan(std::span<const uint8_t> bytes) {
  while (valid_ && !bytes.empty()) {
    if (payloadLeft_ > 0) {
      const size_t skipped = std::min(payloadLeft_, bytes.size());
      payloadLeft_ -= skipped;
      bytes = bytes.subspan(skipped);
      continue;
    }
    if (TakeHeaderBytes(bytes)) ReadHeader();
  }
}

bool OggPageScanner::TakeHeaderBytes(std::span<const uint8_t>& bytes) {
  const size_t wanted = headerFill_ < kFixedHeader ? kFixedHeader : kFixedHeader + header_[kFixedHeader - 1];
  const size_t taken = std::min(wanted - headerFill_, bytes.size());
  std::memcpy(header_.data() + headerFill_, bytes.data(), taken);
  headerFill_ += taken;
  bytes = bytes.subspan(taken);
  if (headerFill_ == kFixedHeader && std::memcmp(header_.data(), "OggS", 4) != 0) valid_ = false;
  // A page without segments ends with its fixed header.
  return valid_ && headerFill_ == kFixedHeader + header_[kFixedHeader - 1];
}

void OggPageScanner::ReadHeader() {
  const uint8_t segments = header_[kFixedHeader - 1];
  payloadLeft_ = 0;
  for (size_t i = 0; i < segments; ++i) payloadLeft_ += header_[kFixedHeader + i];
  // -1 marks a page on which no packet ends.
  const auto granule = static_cast<int64_t>(LittleEndian(&header_[6], 8));
  if (granule != -1) lastGranule_ = granule;
  serial_ = static_cast<uint32_t>(LittleEndian(&header_[14], 4));
  nextSequence_ = static_cast<uint32_t>(LittleEndian(&header_[18], 4)) + 1;
  headerFill_ = 0;
}
