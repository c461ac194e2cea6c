#include "encoding/WavFileRepair.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "encoding/WavHeader.h"

namespace {

using Outcome = WavFileRepair::Outcome;

struct WaveLayout {
  int64_t fileLength = 0;
  int64_t riffSize = 0;
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

class FileDescriptor {
 public:
  FileDescriptor() = default;
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  // Never through a symbolic link; O_NONBLOCK so a FIFO put in the file's place cannot hang the caller.
  bool Open(const std::string& path, int flags) {
    Close();
    fd_ = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return fd_ >= 0;
  }
  int get() const { return fd_; }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

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
      std::array<uint8_t, 14> format{};
      if (chunk->size < 14 || !ReadAt(fd, format.data(), format.size(), offset + 8)) return std::nullopt;
      std::memcpy(&layout.blockAlign, format.data() + 12, 2);
      if (layout.blockAlign == 0) layout.blockAlign = 1;
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

// Consistent, Unprovable or Repaired (meaning: needs the repair).
Outcome Assess(int fd, const WaveLayout& layout) {
  if (layout.riffSize + 8 == layout.fileLength) return Outcome::Consistent;
  // Our recordings never pass the 32-bit sizes; what does is not ours to cut.
  if (layout.fileLength > WavHeader::kMaxFileLength) return Outcome::Unprovable;
  switch (TailAfterAudio(fd, layout)) {
    case Tail::NotChunks:
      return Outcome::Repaired;
    case Tail::Chunks:
    case Tail::TooLong:
      break;
  }
  return Outcome::Unprovable;
}

// Both sizes describe the audio up to the end of the file, without a trailing
// partial frame (a block cut by the kill).
bool Mend(int fd, const WaveLayout& layout, std::string& reason) {
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

// Gone, or replaced by a link or a directory: nothing of ours to repair.
bool NotOurs(int error) { return error == ENOENT || error == ELOOP || error == ENOTDIR || error == EISDIR; }

}  // namespace

bool WavFileRepair::NeedsRepair(const std::string& path) {
  struct stat info {};
  FileDescriptor file;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !file.Open(path, O_RDONLY)) return false;
  const auto layout = ReadLayout(file.get());
  return layout && Assess(file.get(), *layout) == Outcome::Repaired;
}

WavFileRepair::Outcome WavFileRepair::Repair(const std::string& path, std::string* reason) {
  const auto fail = [&](std::string text) {
    if (reason != nullptr) *reason = std::move(text);
    return Outcome::Failed;
  };
  // Checked before opening, so no device or FIFO is ever opened for writing.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return NotOurs(errno) ? Outcome::NotWave : fail(SystemError("lstat"));
  if (!S_ISREG(info.st_mode)) return Outcome::NotWave;

  FileDescriptor file;
  std::string writeError;
  if (!file.Open(path, O_RDWR)) {
    writeError = SystemError("open");
    if (errno != EACCES && errno != EPERM && errno != EROFS) return NotOurs(errno) ? Outcome::NotWave : fail(writeError);
    // A read-only file is still examined: consistent is fine, stale is reported.
    if (!file.Open(path, O_RDONLY)) return NotOurs(errno) ? Outcome::NotWave : fail(SystemError("open"));
  }
  // A running recording (of this or another copy of the program) holds this lock.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return Outcome::InUse;

  const auto layout = ReadLayout(file.get());
  if (!layout) return Outcome::NotWave;
  const Outcome verdict = Assess(file.get(), *layout);
  if (verdict != Outcome::Repaired) return verdict;
  if (!writeError.empty()) return fail(writeError);
  std::string mendError;
  if (!Mend(file.get(), *layout, mendError)) return fail(mendError);
  return Outcome::Repaired;
}
