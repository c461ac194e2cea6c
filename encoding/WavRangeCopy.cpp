#include "encoding/WavRangeCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/FileDescriptor.h"
#include "encoding/RegularFileInput.h"
#include "encoding/WavHeader.h"

namespace {
constexpr int kMostChunks = 64;            // ours has two; more means it is not a take of ours
constexpr uint32_t kMostFormatBytes = 1024;
constexpr int64_t kCopyBlock = 1 << 20;
constexpr uint16_t kPcm = 1, kALaw = 6, kMuLaw = 7;

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Reads exactly `count` bytes at `offset`; false at the end or on failure (errno 0 at the end).
bool ReadAt(int fd, int64_t offset, void* into, size_t count) {
  auto* bytes = static_cast<uint8_t*>(into);
  while (count > 0) {
    const ssize_t got = ::pread(fd, bytes, count, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = 0;
      return false;
    }
    bytes += got;
    offset += got;
    count -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t put = ::write(fd, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

std::string WavRangeCopy::ReadLayout(int fd, int64_t fileLength, Layout& layout) {
  uint8_t riff[12];
  const bool read = ReadAt(fd, 0, riff, sizeof riff);
  if (!read || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
    // A read that failed has its cause; a short file or other bytes are no WAVE.
    return "RIFF WAVE: " + std::string(std::strerror(!read && errno != 0 ? errno : EINVAL));
  }
  int64_t at = 12;
  for (int chunk = 0; chunk < kMostChunks && at + 8 <= fileLength; ++chunk) {
    uint8_t head[8];
    if (!ReadAt(fd, at, head, sizeof head)) break;
    const uint32_t size = U32(head + 4);
    if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16 && size <= kMostFormatBytes) {
      layout.format.resize(size);
      if (!ReadAt(fd, at + 8, layout.format.data(), size)) break;
    } else if (std::memcmp(head, "data", 4) == 0) {
      layout.dataStart = at + 8;
      // A take cut short by a crash may state more than it holds.
      layout.dataBytes = std::min<int64_t>(size, fileLength - layout.dataStart);
      break;
    }
    at += 8 + size + (size & 1);
  }
  if (layout.format.empty() || layout.dataStart == 0) return "RIFF WAVE: fmt/data: " + std::string(std::strerror(EINVAL));
  const uint16_t tag = U16(layout.format.data());
  const uint16_t channels = U16(layout.format.data() + 2);
  const uint16_t bits = U16(layout.format.data() + 14);
  layout.rate = static_cast<int32_t>(U32(layout.format.data() + 4));
  layout.frameBytes = U16(layout.format.data() + 12);
  const bool wholeByteSamples = (tag == kPcm || tag == kALaw || tag == kMuLaw) && bits % 8 == 0 &&
                                layout.frameBytes == channels * (bits / 8) && layout.frameBytes > 0;
  if (!wholeByteSamples || layout.rate <= 0) return "WAVE format " + std::to_string(tag) + ": " + std::strerror(ENOTSUP);
  return {};
}

std::string WavRangeCopy::CopyBytes(int from, int64_t offset, int64_t count, int to) {
  std::vector<uint8_t> block(static_cast<size_t>(std::min(count, kCopyBlock)));
  while (count > 0) {
    const auto size = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(block.size())));
    if (!ReadAt(from, offset, block.data(), size)) return SystemError("read");
    if (!WriteAll(to, block.data(), size)) return SystemError("write");
    offset += static_cast<int64_t>(size);
    count -= static_cast<int64_t>(size);
  }
  return {};
}

std::string WavRangeCopy::Copy(const std::string& take, const TrimRange& range, const std::string& target) {
  RegularFileInput in;
  if (std::string refusal = in.Open(take); !refusal.empty()) return take + ": " + refusal;
  struct stat status {};
  if (::fstat(in.fd(), &status) != 0) return SystemError(take);
  Layout layout;
  if (std::string error = ReadLayout(in.fd(), status.st_size, layout); !error.empty()) return take + ": " + error;

  const int64_t frames = layout.dataBytes / layout.frameBytes;
  const int64_t first = std::clamp<int64_t>(range.FirstAt(layout.rate), 0, frames);
  const int64_t end = std::clamp<int64_t>(range.EndAt(layout.rate), first, frames);
  const int64_t dataBytes = (end - first) * layout.frameBytes;
  const int64_t headerBytes = WavHeader::Size(static_cast<int64_t>(layout.format.size()));
  if (headerBytes + dataBytes > WavHeader::kMaxFileLength) return target + ": " + std::strerror(EFBIG);

  const FileDescriptor out(::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (out.get() < 0) return SystemError(target);
  std::vector<uint8_t> header(static_cast<size_t>(headerBytes));
  WavHeader::Build(layout.format, headerBytes + dataBytes, header);
  if (!WriteAll(out.get(), header.data(), header.size())) return SystemError(target);
  if (std::string error = CopyBytes(in.fd(), layout.dataStart + first * layout.frameBytes, dataBytes, out.get());
      !error.empty()) {
    return target + ": " + error;
  }
  if (::fsync(out.get()) != 0) return SystemError(target);
  return {};
}
