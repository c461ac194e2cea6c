// OggPageScanner: follows the bytes a muxer writes to an Ogg file of one logical
// stream, page by page, and keeps what a page appended after them must continue
// from: the stream's serial number, the next page sequence number, and the
// granule position of the last packet that ended on a written page. The bytes
// are taken as they come, in any slices; anything that is not a page header
// where one must start stops the scan (Valid() turns false).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class OggPageScanner {
 public:
  void Scan(std::span<const uint8_t> bytes);

  bool Valid() const { return valid_; }
  uint32_t Serial() const { return serial_; }
  uint32_t NextSequence() const { return nextSequence_; }
  // Granule position of the last written page that ends a packet; 0 before any.
  int64_t LastGranule() const { return lastGranule_; }

 private:
  static constexpr size_t kFixedHeader = 27;  // up to and with the segment count

  // Takes header bytes from `bytes` (advancing it); true when the header is complete.
  bool TakeHeaderBytes(std::span<const uint8_t>& bytes);
  void ReadHeader();

  std::array<uint8_t, kFixedHeader + 255> header_{};
  size_t headerFill_ = 0;
  size_t payloadLeft_ = 0;  // bytes of the current page's body still to pass
  uint32_t serial_ = 0;
  uint32_t nextSequence_ = 0;
  int64_t lastGranule_ = 0;
  bool valid_ = true;
};
