// OggPageBuilder: lays whole packets of one logical stream out as Ogg pages
// (each packet on one page, up to 255 lacing values a page), continuing a
// stream whose serial number and next page sequence number are known.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class OggPageBuilder {
 public:
  struct Packet {
    std::span<const uint8_t> data;
    int64_t granule;  // position at the packet's end, in the stream's granule units
  };

  // Appends pages holding `packets` to `out`. The last page is marked as the end of
  // the stream and carries `endGranule` (a decoder trims what lies past it). False
  // when a packet does not fit on one page (nothing appended then).
  static bool AppendEnd(std::span<const Packet> packets, uint32_t serial, uint32_t firstSequence, int64_t endGranule,
                        std::vector<uint8_t>& out);
};
