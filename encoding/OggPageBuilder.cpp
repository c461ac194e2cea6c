#include "encoding/OggPageBuilder.h"

#include <cstddef>

extern "C" {
#include <libavutil/crc.h>
#include <libavutil/intreadwrite.h>
}

namespace {

constexpr size_t kMaxSegments = 255;
constexpr size_t kHeaderBytes = 27;
constexpr uint8_t kEndOfStream = 0x04;

size_t SegmentsOf(const OggPageBuilder::Packet& packet) { return packet.data.size() / 255 + 1; }

void AppendLittleEndian(uint64_t value, int count, std::vector<uint8_t>& out) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One page of `packets` (whole ones, their segments fitting on a page) at the end of `out`.
void AppendPage(std::span<const OggPageBuilder::Packet> packets, uint8_t flags, int64_t granule, uint32_t serial,
                uint32_t sequence, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.insert(out.end(), {'O', 'g', 'g', 'S', 0, flags});
  AppendLittleEndian(static_cast<uint64_t>(granule), 8, out);
  AppendLittleEndian(serial, 4, out);
  AppendLittleEndian(sequence, 4, out);
  AppendLittleEndian(0, 4, out);  // CRC, filled in below
  const size_t segmentCount = out.size();
  out.push_back(0);
  for (const auto& packet : packets) {
    out.insert(out.end(), packet.data.size() / 255, uint8_t{255});
    out.push_back(static_cast<uint8_t>(packet.data.size() % 255));
  }
  out[segmentCount] = static_cast<uint8_t>(out.size() - segmentCount - 1);
  for (const auto& packet : packets) out.insert(out.end(), packet.data.begin(), packet.data.end());
  // The table is byte-swapped for a most-significant-first CRC: stored as read back.
  const uint32_t crc = av_crc(av_crc_get_table(AV_CRC_32_IEEE), 0, out.data() + start, out.size() - start);
  AV_WB32(out.data() + start + kHeaderBytes - 5, crc);
}

}  // namespace

bool OggPageBuilder::AppendEnd(std::span<const Packet> packets, uint32_t serial, uint32_t firstSequence,
                               int64_t endGranule, std::vector<uint8_t>& out) {
  for (const auto& packet : packets) {
    if (SegmentsOf(packet) > kMaxSegments) return false;
  }
  uint32_t sequence = firstSequence;
  size_t first = 0;
  while (first < packets.size()) {
    size_t end = first;
    size_t segments = 0;
    while (end < packets.size() && segments + SegmentsOf(packets[end]) <= kMaxSegments) {
      segments += SegmentsOf(packets[end++]);
    }
    const bool last = end == packets.size();
    const int64_t granule = last ? endGranule : packets[end - 1].granule;
    AppendPage(packets.subspan(first, end - first), last ? kEndOfStream : 0, granule, serial, sequence++, out);
    first = end;
  }
  return true;
}
