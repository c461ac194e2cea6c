#include "encoding/FlacFileRepair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "encoding/RepairTarget.h"

namespace {

constexpr size_t kMaxCandidates = 64;  // frame headers tried from the end backwards
constexpr int64_t kStreamInfoOffset = 8;
constexpr int64_t kTotalSamplesOffset = kStreamInfoOffset + 13;  // low 4 bits of this byte, then 4 bytes
constexpr int64_t kMinFrameSizeOffset = kStreamInfoOffset + 4;   // min and max frame size, 3 bytes each
constexpr int64_t kMd5Offset = kStreamInfoOffset + 18;           // 16 bytes, to the end of STREAMINFO
constexpr int64_t kFrameOverheadBytes = 64;                      // header, subframe headers, CRC

struct StreamInfo {
  uint32_t minBlock = 0;
  uint32_t maxBlock = 0;
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint32_t bitsPerSample = 0;
  uint64_t totalSamples = 0;
  bool md5Set = false;     // the writer's ending put the audio's MD5 there
  int64_t audioStart = 0;  // first byte after the metadata blocks
  // The most a frame can take: every sample stored verbatim.
  int64_t MaxFrameBytes() const {
    return int64_t{maxBlock} * channels * bitsPerSample / 8 + kFrameOverheadBytes;
  }
};

struct FrameHeader {
  int64_t offset = 0;  // in the file
  uint64_t firstSample = 0;
  uint32_t blockSize = 0;
  bool verbatim = false;  // its first subframe holds the samples uncoded
};

bool ReadAt(int fd, void* buffer, size_t size, int64_t offset) {
  return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

uint64_t BigEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

uint8_t Crc8(const uint8_t* data, size_t size) {
  uint8_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? crc << 1 ^ 0x07 : crc << 1);
  }
  return crc;
}

uint16_t Crc16Step(uint16_t crc, uint8_t byte) {
  crc ^= static_cast<uint16_t>(byte << 8);
  for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x8005 : crc << 1);
  return crc;
}

// "fLaC", a STREAMINFO block of 34 bytes with sane fields, then a capped walk
// over the other metadata blocks to where the frames start.
std::optional<StreamInfo> ReadStreamInfo(int fd, int64_t fileLength) {
  std::array<uint8_t, 42> head{};
  if (!ReadAt(fd, head.data(), head.size(), 0)) return std::nullopt;
  if (std::memcmp(head.data(), "fLaC", 4) != 0 || (head[4] & 0x7F) != 0 || BigEndian(&head[5], 3) != 34) {
    return std::nullopt;
  }
  const uint8_t* s = &head[kStreamInfoOffset];
  StreamInfo info;
  info.minBlock = static_cast<uint32_t>(BigEndian(s, 2));
  info.maxBlock = static_cast<uint32_t>(BigEndian(s + 2, 2));
  const uint64_t packed = BigEndian(s + 10, 8);  // rate 20, channels-1 3, bits-1 5, total 36
  info.rate = static_cast<uint32_t>(packed >> 44);
  info.channels = static_cast<uint32_t>(packed >> 41 & 7) + 1;
  info.bitsPerSample = static_cast<uint32_t>(packed >> 36 & 31) + 1;
  info.totalSamples = packed & 0xFFFFFFFFFULL;
  info.md5Set = std::any_of(head.begin() + kMd5Offset, head.end(), [](uint8_t byte) { return byte != 0; });
  if (info.minBlock < 16 || info.maxBlock < info.minBlock || info.rate == 0 || info.bitsPerSample < 4) {
    return std::nullopt;
  }
  bool last = (head[4] & 0x80) != 0;
  int64_t offset = 4 + 4 + 34;
  for (int blocks = 1; !last; ++blocks) {
    std::array<uint8_t, 4> block{};
    if (blocks >= FlacFileRepair::kMaxMetadataBlocks || !ReadAt(fd, block.data(), block.size(), offset)) return std::nullopt;
    last = (block[0] & 0x80) != 0;
    offset += 4 + static_cast<int64_t>(BigEndian(&block[1], 3));
  }
  if (offset > fileLength) return std::nullopt;
  info.audioStart = offset;
  return info;
}

// Reads the UTF-8-style coded frame or sample number at `p`; nullopt when malformed.
std::optional<uint64_t> CodedNumber(const uint8_t*& p, const uint8_t* end) {
  if (p >= end) return std::nullopt;
  int extra = 0;
  while (extra < 7 && (*p & (0x80 >> extra)) != 0) ++extra;
  if (extra == 1 || extra == 7) return std::nullopt;
  const int following = extra == 0 ? 0 : extra - 1;
  if (end - p < 1 + following) return std::nullopt;
  uint64_t value = extra == 0 ? *p : *p & (0x3F >> (extra - 1));
  for (int i = 1; i <= following; ++i) {
    if ((p[i] & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (p[i] & 0x3F);
  }
  p += 1 + following;
  return value;
}

uint32_t BlockSizeOf(int code, const uint8_t*& p) {
  if (code == 1) return 192;
  if (code >= 2 && code <= 5) return 576u << (code - 2);
  if (code >= 8) return 256u << (code - 8);
  if (code == 6) return *p++ + 1u;
  if (code == 7) {
    const auto size = static_cast<uint32_t>(BigEndian(p, 2) + 1);
    p += 2;
    return size;
  }
  return 0;  // reserved
}

// A frame header at `at` that matches the stream and whose CRC-8 checks.
std::optional<FrameHeader> ParseFrameHeader(const std::vector<uint8_t>& tail, size_t at, int64_t tailOffset,
                                            const StreamInfo& info) {
  const uint8_t* p = tail.data() + at;
  const uint8_t* end = tail.data() + tail.size();
  if (end - p < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8) return std::nullopt;
  const bool variable = (p[1] & 1) != 0;
  const int blockCode = p[2] >> 4;
  const int rateCode = p[2] & 0x0F;
  const int channelCode = p[3] >> 4;
  const int sizeCode = p[3] >> 1 & 7;
  static constexpr std::array<uint32_t, 8> kBits = {0, 8, 12, 0, 16, 20, 24, 32};
  const uint32_t channels = channelCode < 8 ? channelCode + 1u : channelCode < 11 ? 2u : 0u;
  if (blockCode == 0 || rateCode == 15 || channels != info.channels || (p[3] & 1) != 0) return std::nullopt;
  if (sizeCode != 0 && kBits[sizeCode] != info.bitsPerSample) return std::nullopt;
  if (variable != (info.minBlock != info.maxBlock)) return std::nullopt;
  const uint8_t* cursor = p + 4;
  const auto number = CodedNumber(cursor, end);
  // Room for the longest block size and rate fields and the CRC-8.
  if (!number || end - cursor < 5) return std::nullopt;
  FrameHeader header;
  header.offset = tailOffset + static_cast<int64_t>(at);
  header.blockSize = BlockSizeOf(blockCode, cursor);
  cursor += rateCode == 12 ? 1 : rateCode == 13 || rateCode == 14 ? 2 : 0;
  if (header.blockSize == 0 || header.blockSize > info.maxBlock || cursor >= end) return std::nullopt;
  if (Crc8(p, static_cast<size_t>(cursor - p)) != *cursor) return std::nullopt;
  header.firstSample = variable ? *number : *number * info.maxBlock;
  // Subframe header after the CRC-8: a zero bit, then the type, 000001 for VERBATIM.
  header.verbatim = end - cursor > 1 && (cursor[1] & 0xFE) == 0x02;
  return header;
}

// True when the frame at `frame` ends, CRC-16 and all, at the end of the tail or
// where `next` (a later header continuing its samples) starts.
bool FrameIsWhole(const std::vector<uint8_t>& tail, int64_t tailOffset, const FrameHeader& frame,
                  std::span<const FrameHeader> later, const StreamInfo& info) {
  const size_t start = static_cast<size_t>(frame.offset - tailOffset);
  const size_t limit = std::min(tail.size(), start + static_cast<size_t>(info.MaxFrameBytes()));
  uint16_t crc = 0;
  auto next = later.begin();
  for (size_t i = start; i < limit; ++i) {
    crc = Crc16Step(crc, tail[i]);
    const auto end = tailOffset + static_cast<int64_t>(i) + 1;
    while (next != later.end() && next->offset < end) ++next;
    if (crc != 0) continue;
    if (i + 1 == tail.size()) return true;
    if (next != later.end() && next->offset == end && next->firstSample == frame.firstSample + frame.blockSize) {
      return true;
    }
  }
  return false;
}

// The last whole frame in the file's tail.
std::optional<FrameHeader> LastWholeFrame(int fd, int64_t fileLength, const StreamInfo& info) {
  const int64_t window = 2 * info.MaxFrameBytes();
  const int64_t tailOffset = std::max(info.audioStart, fileLength - window);
  std::vector<uint8_t> tail(static_cast<size_t>(fileLength - tailOffset));
  if (tail.empty() || !ReadAt(fd, tail.data(), tail.size(), tailOffset)) return std::nullopt;
  std::vector<FrameHeader> headers;  // ascending by offset once reversed
  for (size_t at = tail.size() - 1; at-- > 0 && headers.size() < kMaxCandidates;) {
    if (auto header = ParseFrameHeader(tail, at, tailOffset, info)) headers.push_back(*header);
  }
  std::reverse(headers.begin(), headers.end());
  for (size_t i = headers.size(); i-- > 0;) {
    const auto later = std::span(headers).subspan(i + 1);
    if (FrameIsWhole(tail, tailOffset, headers[i], later, info)) return headers[i];
  }
  return std::nullopt;
}

bool WriteTotalSamples(int fd, uint64_t total) {
  uint8_t first = 0;
  if (!ReadAt(fd, &first, 1, kTotalSamplesOffset)) return false;
  const std::array<uint8_t, 5> bytes = {static_cast<uint8_t>((first & 0xF0) | (total >> 32 & 0x0F)),
                                        static_cast<uint8_t>(total >> 24), static_cast<uint8_t>(total >> 16),
                                        static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total)};
  return ::pwrite(fd, bytes.data(), bytes.size(), kTotalSamplesOffset) == static_cast<ssize_t>(bytes.size()) &&
         ::fdatasync(fd) == 0;
}

// The metadata our writer (the codec library's FLAC muxer) puts there: STREAMINFO,
// a VORBIS_COMMENT block with the library's vendor string, the PADDING block last.
bool HasOurMetadata(int fd, const StreamInfo& info) {
  constexpr int64_t kCommentAt = kStreamInfoOffset + 34;
  std::array<uint8_t, 12> comment{};  // block header, vendor length, vendor's first 4 bytes
  if (!ReadAt(fd, comment.data(), comment.size(), kCommentAt) || comment[0] != 4) return false;
  const int64_t commentLength = static_cast<int64_t>(BigEndian(&comment[1], 3));
  const uint32_t vendorLength = comment[4] | comment[5] << 8 | comment[6] << 16 | uint32_t{comment[7]} << 24;
  if (vendorLength < 4 || vendorLength + 8 > commentLength || std::memcmp(&comment[8], "Lavf", 4) != 0) return false;
  const int64_t paddingAt = kCommentAt + 4 + commentLength;
  std::array<uint8_t, 4> padding{};
  return ReadAt(fd, padding.data(), padding.size(), paddingAt) && padding[0] == (0x80 | 1) &&
         paddingAt + 4 + static_cast<int64_t>(BigEndian(&padding[1], 3)) == info.audioStart;
}

// A killed recording's frames all have the stream's block size, but for the
// short verbatim frame a pause leaves at the end (the audio still in the
// encoder, handed to the disk): another shorter last frame is the end of a
// stream its writer finished. With the MD5 never written either, that writer
// could not seek back to STREAMINFO (a stream to a pipe): its total is unknown
// by design, not left unfinished.
bool EndedByItsWriter(const FrameHeader& last, const StreamInfo& info) {
  return last.blockSize < info.maxBlock && !info.md5Set && !last.verbatim;
}

FlacFileRepair::Outcome FailedBecause(const std::string& why, std::string* reason) {
  if (reason != nullptr) *reason = why;
  return FlacFileRepair::Outcome::Failed;
}

}  // namespace

FlacFileRepair::Outcome FlacFileRepair::Repair(const std::string& path, std::string* reason) {
  return RepairTarget::Mend<FlacFileRepair>(path, reason, Outcome::NotFlac);
}

FlacFileRepair::Outcome FlacFileRepair::Repair(const RepairTarget& file, std::string* reason) {
  const int fd = file.fd();
  const auto info = ReadStreamInfo(fd, file.Length());
  if (!info) return Outcome::NotFlac;
  if (info->totalSamples != 0) return Outcome::Consistent;
  if (!HasOurMetadata(fd, *info)) return Outcome::Unprovable;
  if (file.HeldByRecording()) return Outcome::InUse;
  const auto last = LastWholeFrame(fd, file.Length(), *info);
  if (!last || EndedByItsWriter(*last, *info)) return Outcome::Unprovable;
  const uint64_t total = last->firstSample + last->blockSize;
  if (total > 0xFFFFFFFFFULL) return Outcome::Unprovable;
  if (!file.Writable()) return FailedBecause(file.WriteError(), reason);
  if (!WriteTotalSamples(fd, total)) return FailedBecause(std::string("pwrite: ") + std::strerror(errno), reason);
  return Outcome::Repaired;
}

std::vector<uint8_t> FlacFileRepair::FixedHeaderBytes(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return {};
  const auto info = ReadStreamInfo(fd, status.st_size);
  if (!info || info->audioStart > kMaxHeaderBytes) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(info->audioStart));
  if (!ReadAt(fd, bytes.data(), bytes.size(), 0)) return {};
  // The writer's ending rewrites frame sizes, total and MD5; the rest stays as the start wrote it.
  std::fill_n(bytes.begin() + kMinFrameSizeOffset, 6, uint8_t{0});
  bytes[kTotalSamplesOffset] &= 0xF0;
  std::fill(bytes.begin() + kTotalSamplesOffset + 1, bytes.begin() + kStreamInfoOffset + 34, uint8_t{0});
  return bytes;
}
