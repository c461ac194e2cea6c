#include "tagging/WavMetadataAppender.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "encoding/WavFileRepair.h"
#include "encoding/WavHeader.h"
#include "tagging/FileDescriptor.h"
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

// `chunks` after the audio (and its pad byte) in place of what follows it now.
// `fallback`: written instead when `chunks` fail; else the recording is left bare.
std::string WriteTail(const FileDescriptor& file, const AudioSpan& audio, const Bytes& chunks,
                      const std::optional<Bytes>& fallback) {
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
  if (failure.empty()) return {};
  // What is left otherwise, the repair drops.
  if (CutToAudio(file, end).empty() && fallback) AppendAt(file, end, *fallback);
  return failure;
}

// Opens `path` (never through a link) and locks it, finds its audio with
// `find` and, when that is ours, hands both to `write`.
template <typename Find, typename Write>
std::string OnOwnFile(const std::string& path, Find find, const char* refusal, Write write) {
  const FileDescriptor file(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return FileDescriptor::SystemError("open");
  // Held by a running recording, or by a repair: not ours to change now.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return FileDescriptor::SystemError("flock");
  const std::optional<AudioSpan> audio = find(file.get());
  if (!audio) return refusal;
  return write(file, *audio);
}

// The tail the RIFF size covers now, pad byte included.
std::string ReadTail(const FileDescriptor& file, const AudioSpan& audio, Bytes& tail) {
  tail.resize(static_cast<size_t>(audio.tagBytes));
  const ssize_t got = ::pread(file.get(), tail.data(), tail.size(), audio.start + audio.size);
  if (got < 0) return FileDescriptor::SystemError("pread");
  if (got != static_cast<ssize_t>(tail.size())) return "the file got shorter while being read";
  if (audio.size % 2 != 0 && !tail.empty()) tail.erase(tail.begin());
  return {};
}

}  // namespace

std::string WavMetadataAppender::Append(const std::string& path, const Bytes& chunks) {
  return OnOwnFile(path, WavFileRepair::BareAudio, "not a finished recording of this program, or tagged already",
                   [&](const FileDescriptor& file, const AudioSpan& audio) {
                     return WriteTail(file, audio, chunks, std::nullopt);
                   });
}

std::string WavMetadataAppender::Replace(const std::string& path, const ChunkMaker& make) {
  return OnOwnFile(path, WavFileRepair::OwnAudio, "not a finished recording of this program",
                   [&](const FileDescriptor& file, const AudioSpan& audio) {
                     // Ours never grow larger; reading the old tail stays bounded.
                     if (audio.tagBytes > TakeMetadataWriter::kMaxWavTagBytes) {
                       return std::string("tags larger than this program writes");
                     }
                     Bytes old;
                     if (std::string failure = ReadTail(file, audio, old); !failure.empty()) return failure;
                     Bytes chunks;
                     if (std::string failure = make(file.get(), chunks); !failure.empty()) return failure;
                     return WriteTail(file, audio, chunks, audio.tagBytes > 0 ? std::optional<Bytes>(old) : std::nullopt);
                   });
}
