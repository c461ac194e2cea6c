#include "tagging/WavMetadataAppender.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encoding/WavFileRepair.h"
#include "encoding/WavHeader.h"
#include "tagging/FileDescriptor.h"

namespace {

// Writes the tail, then the size that covers it; each step reaches the disk first.
std::string AppendAt(const FileDescriptor& file, int64_t end, const std::vector<uint8_t>& tail) {
  if (!file.WriteAll(tail.data(), tail.size(), end)) return FileDescriptor::SystemError("pwrite");
  if (::fdatasync(file.get()) != 0) return FileDescriptor::SystemError("fdatasync");
  const auto riffSize = static_cast<uint32_t>(end + static_cast<int64_t>(tail.size()) - 8);
  if (!file.WriteAll(&riffSize, 4, 4)) return FileDescriptor::SystemError("pwrite");
  if (::fdatasync(file.get()) != 0) return FileDescriptor::SystemError("fdatasync");
  return {};
}

}  // namespace

std::string WavMetadataAppender::Append(const std::string& path, const std::vector<uint8_t>& chunks) {
  const FileDescriptor file(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return FileDescriptor::SystemError("open");
  // Held by a running recording, or by a repair: not ours to change now.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return FileDescriptor::SystemError("flock");
  const auto audio = WavFileRepair::BareAudio(file.get());
  if (!audio) return "not a finished recording of this program, or tagged already";
  std::vector<uint8_t> tail;
  if (audio->size % 2 != 0) tail.push_back(0);  // RIFF pads odd chunks
  tail.insert(tail.end(), chunks.begin(), chunks.end());
  const int64_t end = audio->start + audio->size;
  if (end + static_cast<int64_t>(tail.size()) > WavHeader::kMaxFileLength) {
    return "no room for the tags below the 4 GiB a WAV file can describe";
  }
  const std::string failure = AppendAt(file, end, tail);
  // Back to the bare recording; what is left otherwise, the repair drops.
  if (!failure.empty() && ::ftruncate(file.get(), end) == 0) {
    const auto bareSize = static_cast<uint32_t>(end - 8);
    file.WriteAll(&bareSize, 4, 4);
  }
  return failure;
}
