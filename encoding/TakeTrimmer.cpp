#include "encoding/TakeTrimmer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/FileTypes.h"
#include "encoding/AudioMuxer.h"
#include "encoding/PacketRangeCopy.h"
#include "encoding/PendingFiles.h"
#include "encoding/TakeDecoder.h"
#include "encoding/WavRangeCopy.h"

namespace {
constexpr int kMostCutNames = 1000;
constexpr int64_t kFramesPerWrite = 4096;
constexpr int32_t kFlacLevel = 5;

}  // namespace

std::string TakeTrimmer::CutName(const std::string& take, int number) {
  const std::filesystem::path path(take);
  const std::string ext = path.extension().string();
  const std::string base = take.substr(0, take.size() - ext.size());
  return base + (number <= 1 ? " (剪辑)" : " (剪辑 " + std::to_string(number) + ")") + ext;
}

std::string TakeTrimmer::ClaimCutFile(const std::string& take, std::string& error) {
  for (int number = 1; number <= kMostCutNames; ++number) {
    const std::string name = CutName(take, number);
    // O_EXCL: a name anything holds (a file, a link, even a dangling one) is passed over.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      // Until the cut is whole, a kill leaves it to the start-up repair to remove.
      PendingFiles::NoteFile(name, fd);
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) {
      error = name + ": " + std::strerror(errno);
      return {};
    }
  }
  error = CutName(take, kMostCutNames) + ": " + std::strerror(EEXIST);
  return {};
}

TakeTrimmer::Result TakeTrimmer::Trim(const std::string& take, const TrimRange& range) {
  Result result;
  if (range.end <= range.first || range.first < 0) {
    result.error = "[" + std::to_string(range.first) + ", " + std::to_string(range.end) + ")";
    return result;
  }
  const std::string target = ClaimCutFile(take, result.error);
  if (target.empty()) return result;
  const auto type = FileTypes::OfPath(take);
  result.kept = range;
  if (type == FileTypes::TYPE_WAV) {
    result.error = WavRangeCopy::Copy(take, range, target);
  } else if (type == FileTypes::TYPE_FLAC) {
    result.error = TrimFlac(take, range, target);
  } else {
    result.error = PacketRangeCopy::Copy(take, range, target, &result.kept);
  }
  result.ok = result.error.empty();
  if (result.ok) {
    result.path = target;
  } else {
    ::unlink(target.c_str());  // created by ClaimCutFile above: ours
  }
  PendingFiles::DropFile(target);
  return result;
}

std::string TakeTrimmer::TrimFlac(const std::string& take, const TrimRange& range, const std::string& target) {
  TakeDecoder decoder;
  if (!decoder.Open(take)) return take + ": " + decoder.LastError();
  const int64_t first = range.FirstAt(decoder.Rate());
  const int64_t end = range.EndAt(decoder.Rate());
  AudioMuxer muxer;
  const FileTypes::Row& flac = FileTypes::Of(FileTypes::TYPE_FLAC);
  const MuxerPlan plan{
      .container = flac.muxer, .codec = flac.codec, .outputRate = decoder.Rate(), .compressionLevel = kFlacLevel};
  // The claimed file is empty and ours; nothing else may be written through.
  if (muxer.Open(plan, decoder.Rate(), decoder.Channels(), target, {.replaceData = false, .followLinks = false}) !=
      ENC_OK) {
    return muxer.LastError();
  }
  std::vector<int16_t> block;
  // Read from the start rather than seek: every frame's position is then exact.
  while (decoder.Position() < end) {
    block.clear();
    const int64_t wanted = std::min(kFramesPerWrite, decoder.Position() < first ? first - decoder.Position()
                                                                                  : end - decoder.Position());
    const bool keep = decoder.Position() >= first;
    const int64_t got = decoder.Read(block, wanted);
    if (got < 0) return take + ": " + decoder.LastError();
    if (got == 0) break;  // the take is shorter than the range: keep what there is
    if (keep && muxer.Write(block.data(), static_cast<int32_t>(got)) != ENC_OK) return muxer.LastError();
  }
  if (muxer.Finish() != ENC_OK) return muxer.LastError();
  return {};
}
