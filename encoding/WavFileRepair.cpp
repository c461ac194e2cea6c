#include "encoding/WavFileRepair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "encoding/RepairTarget.h"
#include "encoding/WavHeader.h"

namespace {

using Outcome = WavFileRepair::Outcome;

struct WaveLayout {
  int64_t fileLength = 0;
  int64_t riffSize = 0;
  int64_t formatStart = 0;  // of the "fmt " chunk's header
  int64_t formatSize = 0;
  uint16_t formatExtraSize = 0;  // cbSize; 0 when the record has none
  int64_t dataStart = 0;  // first audio byte; the data size field is the 4 bytes before it
  int64_t dataSize = 0;
  uint16_t blockAlign = 1;
};

struct ChunkHeader {
  std::array<char, 4> id{};
  int64_t size = 0;
  bool Is(const char* name) const { return std::memcmp(id.data(), name, 4) == 0; }
};

// What follows the declared audio.
enum class Tail {
  Chunks,     // nothing, a pad byte, or whole chunks up to the end of the file
  NotChunks,  // bytes no chunk chain explains: audio written after the last header
  TooLong,    // more chunks than the walk follows: cannot tell
};

std::string SystemError(const char* call) { return std::string(call) + ": " + std::strerror(errno); }

bool ReadAt(int fd, void* buffer, size_t size, int64_t offset) {
  return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

bool WriteAt(int fd, const void* buffer, size_t size, int64_t offset) {
  return ::pwrite(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

uint32_t U32(const uint8_t* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

// Chunk ids are four printable ASCII characters; zeros or audio rarely are.
bool IsChunkId(const uint8_t* id) {
  for (int i = 0; i < 4; ++i) {
    if (id[i] < 0x20 || id[i] > 0x7E) return false;
  }
  return true;
}

std::optional<ChunkHeader> ReadChunkHeader(int fd, int64_t offset, int64_t fileLength) {
  std::array<uint8_t, 8> bytes{};
  if (offset + 8 > fileLength || !ReadAt(fd, bytes.data(), bytes.size(), offset) || !IsChunkId(bytes.data())) {
    return std::nullopt;
  }
  ChunkHeader chunk;
  std::memcpy(chunk.id.data(), bytes.data(), 4);
  chunk.size = U32(bytes.data() + 4);
  return chunk;
}

// Seeks from chunk to chunk up to "data", which must follow a "fmt " chunk.
std::optional<WaveLayout> ReadLayout(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  WaveLayout layout;
  layout.fileLength = info.st_size;
  std::array<uint8_t, 12> riff{};
  if (!ReadAt(fd, riff.data(), riff.size(), 0)) return std::nullopt;
  if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) return std::nullopt;
  layout.riffSize = U32(riff.data() + 4);

  bool haveFormat = false;
  int64_t offset = 12;
  for (int n = 0; n < WavFileRepair::kMaxChunks; ++n) {
    const auto chunk = ReadChunkHeader(fd, offset, layout.fileLength);
    if (!chunk) return std::nullopt;
    if (chunk->Is("fmt ")) {
      std::array<uint8_t, 18> format{};
      const size_t length = chunk->size < 18 ? 14 : 18;  // cbSize only in a WAVEFORMATEX
      if (chunk->size < 14 || !ReadAt(fd, format.data(), length, offset + 8)) return std::nullopt;
      std::memcpy(&layout.blockAlign, format.data() + 12, 2);
      std::memcpy(&layout.formatExtraSize, format.data() + 16, 2);
      if (layout.blockAlign == 0) layout.blockAlign = 1;
      layout.formatStart = offset;
      layout.formatSize = chunk->size;
      haveFormat = true;
    } else if (chunk->Is("data")) {
      if (!haveFormat) return std::nullopt;
      layout.dataStart = offset + 8;
      layout.dataSize = chunk->size;
      return layout;
    }
    offset += 8 + chunk->size + (chunk->size & 1);
  }
  return std::nullopt;
}

Tail ChunksFrom(int fd, int64_t offset, int64_t fileLength) {
  if (offset > fileLength) return Tail::NotChunks;
  for (int n = 0; n < WavFileRepair::kMaxChunks; ++n) {
    if (offset == fileLength) return Tail::Chunks;
    const auto chunk = ReadChunkHeader(fd, offset, fileLength);
    if (!chunk) return Tail::NotChunks;
    offset += 8 + chunk->size;
    if (offset > fileLength) return Tail::NotChunks;
    // Some writers leave out the pad byte of a last odd chunk.
    if ((chunk->size & 1) != 0 && offset < fileLength) ++offset;
  }
  return offset == fileLength ? Tail::Chunks : Tail::TooLong;
}

Tail TailAfterAudio(int fd, const WaveLayout& layout) {
  const int64_t end = layout.dataStart + layout.dataSize;
  if (end > layout.fileLength) return Tail::NotChunks;  // the declared audio itself is cut short
  if ((layout.dataSize & 1) != 0) {
    const Tail padded = ChunksFrom(fd, end + 1, layout.fileLength);
    if (padded != Tail::NotChunks) return padded;
  }
  return ChunksFrom(fd, end, layout.fileLength);
}

// The header our writer (WavHeader) puts there: "fmt " first, holding a
// WAVEFORMATEX with its extra bytes, "data" straight after, and both sizes
// taken from one file length, which the 32-bit fields describe exactly.
bool HasOurHeader(const WaveLayout& layout) {
  return layout.formatStart == 12 && layout.formatSize == 18 + int64_t{layout.formatExtraSize} &&
         layout.dataStart == layout.formatStart + 8 + layout.formatSize + 8 &&
         layout.riffSize + 8 == layout.dataStart + layout.dataSize && layout.riffSize != 0xFFFFFFFF &&
         layout.dataSize != 0xFFFFFFFF;
}

// True when every byte of [from, to) is zero; past kMaxZeroScan bytes, a zero
// start counts as all.
bool AllZeros(int fd, int64_t from, int64_t to) {
  std::array<uint8_t, 65536> buffer{};
  to = std::min(to, from + WavFileRepair::kMaxZeroScan);
  for (int64_t at = from; at < to;) {
    const auto count = static_cast<size_t>(std::min<int64_t>(to - at, buffer.size()));
    if (!ReadAt(fd, buffer.data(), count, at)) return false;
    if (std::any_of(buffer.begin(), buffer.begin() + count, [](uint8_t byte) { return byte != 0; })) return false;
    at += static_cast<int64_t>(count);
  }
  return true;
}

// Whether zeros after the declared audio may be the recording's own silence.
enum class ZeroTail { Foreign, Silence };

// What follows the declared audio is not audio our writer left: an ID3v1 tag
// ("TAG" and 125 bytes) at the end of the file, or zeros a file system or a
// padding program put there (unless the file is proven ours: then they are
// the silence it recorded, which every take of a quiet input ends in).
bool TailIsForeign(int fd, const WaveLayout& layout, ZeroTail zeros) {
  const int64_t end = layout.dataStart + layout.dataSize;
  std::array<char, 3> tag{};
  if (layout.fileLength - end >= 128 && ReadAt(fd, tag.data(), tag.size(), layout.fileLength - 128) &&
      std::memcmp(tag.data(), "TAG", 3) == 0) {
    return true;
  }
  return zeros == ZeroTail::Foreign && AllZeros(fd, end, layout.fileLength);
}

bool IsOurTagId(const uint8_t* id, size_t length) {
  for (const char* ours : {"LIST", "cue ", "bext", "id3 "}) {
    if (std::memcmp(id, ours, length) == 0) return true;
  }
  return false;
}

// What follows the audio when it is tag chunks of ours.
enum class OurTags {
  None,      // nothing, or something else
  Whole,     // whole chunks of ours up to the end of the file
  CutShort,  // the last one cut anywhere, even in its header
};

// After the pad byte of odd audio, every chunk is one of ours and of a size
// ours can have (a lone zero after odd audio is the pad byte our tagging
// writes first).
OurTags WalkOurTags(int fd, const WaveLayout& layout) {
  int64_t at = layout.dataStart + layout.dataSize;
  if (at >= layout.fileLength) return OurTags::None;
  uint8_t pad = 0;
  if ((layout.dataSize & 1) != 0 && (!ReadAt(fd, &pad, 1, at++) || pad != 0)) return OurTags::None;
  for (int n = 0; n < WavFileRepair::kMaxChunks; ++n) {
    if (at == layout.fileLength) return OurTags::Whole;
    if (at > layout.fileLength) return OurTags::CutShort;
    std::array<uint8_t, 8> header{};
    const auto length = static_cast<size_t>(std::min<int64_t>(8, layout.fileLength - at));
    if (!ReadAt(fd, header.data(), length, at)) return OurTags::None;
    if (!IsOurTagId(header.data(), std::min<size_t>(length, 4))) return OurTags::None;
    if (length < 8) return OurTags::CutShort;
    const int64_t size = U32(header.data() + 4);
    if (size > WavFileRepair::kMaxTagChunk) return OurTags::None;
    at += 8 + size + (size & 1);
  }
  return OurTags::None;
}

// The tag chunks TakeMetadataWriter appends, cut short or whole, while the
// sizes still describe only the audio: a kill before the tagging finished.
bool OurTagsAfterAudio(int fd, const WaveLayout& layout) { return WalkOurTags(fd, layout) != OurTags::None; }

// Consistent, Unprovable or Repaired (meaning: needs the repair).
Outcome Assess(int fd, const WaveLayout& layout, ZeroTail zeros) {
  if (layout.riffSize + 8 == layout.fileLength) return Outcome::Consistent;
  // Our recordings never pass the 32-bit sizes; what does is not ours to cut.
  if (layout.fileLength > WavHeader::kMaxFileLength || !HasOurHeader(layout)) return Outcome::Unprovable;
  if (OurTagsAfterAudio(fd, layout)) return Outcome::Repaired;
  switch (TailAfterAudio(fd, layout)) {
    case Tail::NotChunks:
      return TailIsForeign(fd, layout, zeros) ? Outcome::Unprovable : Outcome::Repaired;
    case Tail::Chunks:
    case Tail::TooLong:
      break;
  }
  return Outcome::Unprovable;
}

bool DropTags(int fd, const WaveLayout& layout, std::string& reason) {
  if (::ftruncate(fd, layout.dataStart + layout.dataSize) != 0) {
    reason = SystemError("ftruncate");
    return false;
  }
  if (::fdatasync(fd) != 0) {
    reason = SystemError("fdatasync");
    return false;
  }
  return true;
}

// Both sizes describe the audio up to the end of the file, without a trailing
// partial frame (a block cut by the kill).
bool Mend(int fd, const WaveLayout& layout, std::string& reason) {
  // Unfinished tags go; the sizes already describe the audio.
  if (OurTagsAfterAudio(fd, layout)) return DropTags(fd, layout, reason);
  int64_t audio = layout.fileLength - layout.dataStart;
  audio -= audio % layout.blockAlign;
  const int64_t end = layout.dataStart + audio;
  const auto dataSize = static_cast<uint32_t>(audio);
  const auto riffSize = static_cast<uint32_t>(end - 8);
  if (end < layout.fileLength && ::ftruncate(fd, end) != 0) {
    reason = SystemError("ftruncate");
    return false;
  }
  if (!WriteAt(fd, &riffSize, 4, 4) || !WriteAt(fd, &dataSize, 4, layout.dataStart - 4)) {
    reason = SystemError("pwrite");
    return false;
  }
  if (::fdatasync(fd) != 0) {
    reason = SystemError("fdatasync");
    return false;
  }
  return true;
}

Outcome RepairOpened(const RepairTarget& file, std::string* reason, ZeroTail zeros) {
  const auto fail = [&](std::string text) {
    if (reason != nullptr) *reason = std::move(text);
    return Outcome::Failed;
  };
  // A running recording (of this or another copy of the program) holds this lock.
  if (file.HeldByRecording()) return Outcome::InUse;
  const auto layout = ReadLayout(file.fd());
  if (!layout) return Outcome::NotWave;
  const Outcome verdict = Assess(file.fd(), *layout, zeros);
  if (verdict != Outcome::Repaired) return verdict;
  // A read-only file is still examined: consistent is fine, stale is reported.
  if (!file.Writable()) return fail(file.WriteError());
  std::string mendError;
  if (!Mend(file.fd(), *layout, mendError)) return fail(mendError);
  return Outcome::Repaired;
}

}  // namespace

bool WavFileRepair::NeedsRepair(const std::string& path) {
  RepairTarget file;
  if (file.Open(path) != RepairTarget::OpenResult::Opened) return false;
  const auto layout = ReadLayout(file.fd());
  return layout && Assess(file.fd(), *layout, ZeroTail::Foreign) == Outcome::Repaired;
}

WavFileRepair::Outcome WavFileRepair::Repair(const std::string& path, std::string* reason) {
  return RepairTarget::Mend<WavFileRepair>(path, reason, Outcome::NotWave);
}

WavFileRepair::Outcome WavFileRepair::Repair(const RepairTarget& file, std::string* reason) {
  return RepairOpened(file, reason, ZeroTail::Foreign);
}

WavFileRepair::Outcome WavFileRepair::RepairJournalled(const RepairTarget& file, std::string* reason) {
  return RepairOpened(file, reason, ZeroTail::Silence);
}

std::optional<WavFileRepair::AudioSpan> WavFileRepair::BareAudio(int fd) {
  const auto layout = ReadLayout(fd);
  if (!layout || !HasOurHeader(*layout) || layout->riffSize + 8 != layout->fileLength) return std::nullopt;
  return AudioSpan{layout->dataStart, layout->dataSize};
}

std::optional<WavFileRepair::AudioSpan> WavFileRepair::OwnAudio(int fd) {
  const auto layout = ReadLayout(fd);
  if (!layout || layout->fileLength > WavHeader::kMaxFileLength) return std::nullopt;
  const int64_t end = layout->dataStart + layout->dataSize;
  WaveLayout bare = *layout;
  bare.riffSize = end - 8;
  if (!HasOurHeader(bare)) return std::nullopt;
  const AudioSpan audio{layout->dataStart, layout->dataSize};
  if (layout->riffSize == bare.riffSize) {
    // Bare, or what a kill while tagging left.
    if (layout->fileLength == end || OurTagsAfterAudio(fd, *layout)) return audio;
    return std::nullopt;
  }
  if (layout->riffSize + 8 != layout->fileLength || WalkOurTags(fd, *layout) != OurTags::Whole) return std::nullopt;
  return AudioSpan{audio.start, audio.size, layout->fileLength - end};
}

std::vector<uint8_t> WavFileRepair::FixedHeaderBytes(int fd) {
  const auto layout = ReadLayout(fd);
  if (!layout || layout->dataStart > kMaxHeaderBytes) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(layout->dataStart));
  if (!ReadAt(fd, bytes.data(), bytes.size(), 0)) return {};
  // The two sizes grow with the recording; the rest stays as written at its start.
  std::fill_n(bytes.begin() + 4, 4, uint8_t{0});
  std::fill_n(bytes.end() - 4, 4, uint8_t{0});
  return bytes;
}
