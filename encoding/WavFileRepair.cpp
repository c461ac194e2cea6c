#include "encoding/WavFileRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr int64_t kMaxRiffSize = 0xFFFFFFFFLL;

struct WaveLayout {
  int64_t fileLength = 0;
  uint32_t riffSize = 0;
  int64_t dataSizeOffset = 0;  // where the "data" chunk's size field lives
  uint32_t dataSize = 0;
  uint16_t blockAlign = 1;
};

class FileDescriptor {
 public:
  FileDescriptor(const std::string& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool ReadAt(int fd, void* buffer, size_t size, int64_t offset) {
  return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

bool WriteAt(int fd, const void* buffer, size_t size, int64_t offset) {
  return ::pwrite(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

uint32_t ReadU32(const uint8_t* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

// Walks the chunks up to "data"; the file must start RIFF....WAVE and hold a
// "fmt " chunk before its "data" chunk.
std::optional<WaveLayout> ReadLayout(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  WaveLayout layout;
  layout.fileLength = info.st_size;
  std::array<uint8_t, 12> riff{};
  if (!ReadAt(fd, riff.data(), riff.size(), 0)) return std::nullopt;
  if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) return std::nullopt;
  layout.riffSize = ReadU32(riff.data() + 4);

  bool haveFormat = false;
  int64_t offset = 12;
  while (offset + 8 <= layout.fileLength) {
    std::array<uint8_t, 8> chunk{};
    if (!ReadAt(fd, chunk.data(), chunk.size(), offset)) return std::nullopt;
    const uint32_t size = ReadU32(chunk.data() + 4);
    if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
      std::array<uint8_t, 14> format{};
      if (size < format.size() || !ReadAt(fd, format.data(), format.size(), offset + 8)) return std::nullopt;
      std::memcpy(&layout.blockAlign, format.data() + 12, 2);
      if (layout.blockAlign == 0) layout.blockAlign = 1;
      haveFormat = true;
    } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
      if (!haveFormat) return std::nullopt;
      layout.dataSizeOffset = offset + 4;
      layout.dataSize = size;
      return layout;
    }
    offset += 8 + static_cast<int64_t>(size);
  }
  return std::nullopt;
}

int64_t AudioBytesHeld(const WaveLayout& layout) {
  const int64_t audioStart = layout.dataSizeOffset + 4;
  int64_t audio = layout.fileLength - audioStart;
  audio -= audio % layout.blockAlign;
  // The 32-bit size fields cannot describe more; a longer tail stays unreferenced.
  const int64_t limit = kMaxRiffSize - audioStart;
  if (audio > limit) audio = limit - limit % layout.blockAlign;
  return audio;
}

bool Consistent(const WaveLayout& layout) {
  const int64_t audio = AudioBytesHeld(layout);
  const int64_t end = layout.dataSizeOffset + 4 + audio;
  return layout.dataSize == audio && layout.riffSize == end - 8 && end == layout.fileLength;
}

}  // namespace

bool WavFileRepair::NeedsRepair(const std::string& path) {
  FileDescriptor file(path, O_RDONLY);
  if (!file.ok()) return false;
  const auto layout = ReadLayout(file.get());
  return layout && !Consistent(*layout);
}

WavFileRepair::Outcome WavFileRepair::Repair(const std::string& path) {
  FileDescriptor file(path, O_RDWR);
  if (!file.ok()) {
    FileDescriptor readOnly(path, O_RDONLY);
    if (!readOnly.ok()) return Outcome::NotWave;
    const auto layout = ReadLayout(readOnly.get());
    if (!layout) return Outcome::NotWave;
    return Consistent(*layout) ? Outcome::Consistent : Outcome::Failed;
  }
  const auto layout = ReadLayout(file.get());
  if (!layout) return Outcome::NotWave;
  if (Consistent(*layout)) return Outcome::Consistent;

  const int64_t audio = AudioBytesHeld(*layout);
  const int64_t end = layout->dataSizeOffset + 4 + audio;
  const uint32_t dataSize = static_cast<uint32_t>(audio);
  const uint32_t riffSize = static_cast<uint32_t>(end - 8);
  if (end < layout->fileLength && ::ftruncate(file.get(), end) != 0) return Outcome::Failed;
  if (!WriteAt(file.get(), &riffSize, 4, 4) || !WriteAt(file.get(), &dataSize, 4, layout->dataSizeOffset)) {
    return Outcome::Failed;
  }
  if (::fdatasync(file.get()) != 0) return Outcome::Failed;
  return Outcome::Repaired;
}
