#include "tagging/WavMetadataAppender.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "encoding/WavFileRepair.h"
#include "encoding/WavHeader.h"
#include "tagging/AtomicReplacement.h"
#include "common/FileDescriptor.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;
using AudioSpan = WavFileRepair::AudioSpan;

// Writes the tail, then the size that covers it; each step reaches the disk first.
std::string AppendAt(const FileDescriptor& file, int64_t end, const Bytes& tail) {
  if (!file.WriteAll(tail.data(), tail.size(), end)) return FileDescriptor::SystemError("pwrite");
  if (::fdatasync(file.get()) != 0) return FileDescriptor::SystemError("fdatasync");
  const auto riffSize = static_cast<uint32_t>(end + static_cast<int64_t>(tail.size()) - 8);
  if (!file.WriteAll(&riffSize, 4, 4)) return FileDescriptor::SystemError("pwrite");
  if (::fdatasync(file.get()) != 0) return FileDescriptor::SystemError("fdatasync");
  return {};
}

// The RIFF size describes the audio alone, then the file ends with it.
std::string CutToAudio(const FileDescriptor& file, int64_t end) {
  const auto bareSize = static_cast<uint32_t>(end - 8);
  if (!file.WriteAll(&bareSize, 4, 4)) return FileDescriptor::SystemError("pwrite");
  if (::fdatasync(file.get()) != 0) return FileDescriptor::SystemError("fdatasync");
  if (::ftruncate(file.get(), end) != 0) return FileDescriptor::SystemError("ftruncate");
  return {};
}

// `chunks` after the audio (and its pad byte) in place of what follows it now;
// when they fail, the recording is left bare.
std::string WriteTail(const FileDescriptor& file, const AudioSpan& audio, const Bytes& chunks) {
  const int64_t end = audio.start + audio.size;
  Bytes tail;
  if (audio.size % 2 != 0) tail.push_back(0);  // RIFF pads odd chunks
  tail.insert(tail.end(), chunks.begin(), chunks.end());
  if (end + static_cast<int64_t>(tail.size()) > WavHeader::kMaxFileLength) {
    return "no room for the tags below the 4 GiB a WAV file can describe";
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return FileDescriptor::SystemError("fstat");
  if (status.st_size > end) {
    if (std::string error = CutToAudio(file, end); !error.empty()) return error;
  }
  const std::string failure = AppendAt(file, end, tail);
  if (!failure.empty()) CutToAudio(file, end);  // what is left otherwise, the repair drops
  return failure;
}

const char* kNotOurs = "not a finished recording of this program";

}  // namespace

std::string WavMetadataAppender::Append(const std::string& path, const Bytes& chunks) {
  const FileDescriptor file(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return FileDescriptor::SystemError("open");
  // Held by a running recording, or by a repair: not ours to change now.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return FileDescriptor::SystemError("flock");
  const std::optional<AudioSpan> audio = WavFileRepair::BareAudio(file.get());
  if (!audio) return std::string(kNotOurs) + ", or tagged already";
  return WriteTail(file, *audio, chunks);
}

std::string WavMetadataAppender::Replace(const std::string& path, const ChunkMaker& make) {
  AtomicReplacement copy;
  const auto ours = [](int fd) {
    const std::optional<AudioSpan> audio = WavFileRepair::OwnAudio(fd);
    if (!audio) return std::string(kNotOurs);
    // Ours never grow larger; reading the old tags stays bounded.
    return audio->tagBytes > TakeMetadataWriter::kMaxWavTagBytes ? std::string("tags larger than this program writes")
                                                                  : std::string();
  };
  if (std::string error = copy.OpenCopyOf(path, ours); !error.empty()) return error;
  // The copy holds the same bytes the original was accepted for.
  const FileDescriptor file(::dup(copy.fd()));
  if (!file.valid()) return FileDescriptor::SystemError("dup");
  const std::optional<AudioSpan> audio = WavFileRepair::OwnAudio(file.get());
  if (!audio) return kNotOurs;
  Bytes chunks;
  if (std::string failure = make(file.get(), chunks); !failure.empty()) return failure;
  if (std::string failure = WriteTail(file, *audio, chunks); !failure.empty()) return failure;
  return copy.Commit();
}
