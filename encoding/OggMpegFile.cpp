#include "encoding/OggMpegFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

namespace {

constexpr size_t kOggHeaderBytes = 27;  // "OggS" to the segment count
constexpr size_t kMaxOggPageBytes = kOggHeaderBytes + 255 + 255 * 255;

// Up to `limit` bytes from the start of the file; empty when it is longer or unreadable.
std::vector<uint8_t> ReadWhole(int fd, int64_t limit) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || status.st_size > limit) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
  if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return {};
  return bytes;
}

struct OggPage {
  size_t size = 0;     // may pass the end of the bytes: a cut page
  uint64_t granule = 0;
};

// The page starting `bytes`; nullopt when they do not start one. A header cut
// short counts as a page of unknown granule reaching past the end.
std::optional<OggPage> OggPageAt(std::span<const uint8_t> bytes) {
  const size_t prefix = std::min<size_t>(bytes.size(), 4);
  if (bytes.empty() || std::memcmp(bytes.data(), "OggS", prefix) != 0) return std::nullopt;
  if (bytes.size() < kOggHeaderBytes) return OggPage{kMaxOggPageBytes + 1, 0};
  if (bytes[4] != 0) return std::nullopt;  // stream structure version
  OggPage page;
  for (int i = 7; i >= 0; --i) page.granule = page.granule << 8 | bytes[6 + i];
  const size_t segments = bytes[26];
  page.size = kOggHeaderBytes + segments;
  if (bytes.size() < page.size) return OggPage{kMaxOggPageBytes + 1, 0};
  for (size_t i = 0; i < segments; ++i) page.size += bytes[kOggHeaderBytes + i];
  return page;
}

struct MpegFrame {
  size_t size = 0;
  size_t xingAt = 0;  // where an Xing/Info frame keeps its tag: after the side information
};

// A layer 3 frame header at `bytes` (4 bytes); nullopt when it is none.
std::optional<MpegFrame> MpegFrameAt(const uint8_t* bytes) {
  static constexpr std::array<int, 15> kMpeg1Kbits = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr std::array<int, 15> kMpeg2Kbits = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};
  const int version = bytes[1] >> 3 & 3;  // 0: 2.5, 2: 2, 3: 1
  const int bitrateIndex = bytes[2] >> 4;
  const int rateIndex = bytes[2] >> 2 & 3;
  if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0 || version == 1 || (bytes[1] >> 1 & 3) != 1 ||
      bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  const bool mpeg1 = version == 3;
  const bool mono = (bytes[3] >> 6) == 3;
  const int rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int kbits = (mpeg1 ? kMpeg1Kbits : kMpeg2Kbits)[bitrateIndex];
  MpegFrame frame;
  frame.size = static_cast<size_t>((mpeg1 ? 144 : 72) * kbits * 1000 / rate + (bytes[2] >> 1 & 1));
  frame.xingAt = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  return frame;
}

bool OggHoldsNoAudio(std::span<const uint8_t> bytes) {
  int pages = 0;
  for (size_t at = 0; at < bytes.size(); ++pages) {
    const auto page = OggPageAt(bytes.subspan(at));
    if (!page || pages == OggMpegFile::kMaxPages) return false;
    if (page->size > bytes.size() - at) return true;  // a cut page decodes to nothing
    if (page->granule != 0) return false;             // audio ends on this page
    at += page->size;
  }
  return pages > 0;
}

bool MpegHoldsNoAudio(std::span<const uint8_t> bytes) {
  const auto info = bytes.size() >= 4 ? MpegFrameAt(bytes.data()) : std::nullopt;
  if (!info || info->size > bytes.size() || info->xingAt + 4 > info->size) return false;
  const uint8_t* tag = bytes.data() + info->xingAt;
  if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0) return false;
  const auto rest = bytes.subspan(info->size);
  if (rest.size() < 4) return true;
  const auto next = MpegFrameAt(rest.data());
  return next && next->size > rest.size();  // the first audio frame, cut
}

}  // namespace

std::vector<uint8_t> OggMpegFile::FixedHeaderBytes(int fd) {
  std::vector<uint8_t> bytes(kMaxOggPageBytes);
  const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), 0);
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  if (const auto page = OggPageAt(bytes); page && page->size <= bytes.size()) {
    bytes.resize(page->size);
    return bytes;
  }
  if (bytes.size() >= 4 && MpegFrameAt(bytes.data())) {
    bytes.resize(4);
    return bytes;
  }
  return {};
}

bool OggMpegFile::HoldsNoAudio(int fd) {
  const auto bytes = ReadWhole(fd, kMaxAudiolessLength);
  if (bytes.size() < 4) return false;
  return std::memcmp(bytes.data(), "OggS", 4) == 0 ? OggHoldsNoAudio(bytes) : MpegHoldsNoAudio(bytes);
}
