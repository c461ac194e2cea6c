// DiskSpaceGuard: keeps a recording from running into a full disk. A recording
// starts only when the output folder has room for kStartSeconds of the chosen
// format; while it runs, the free room is looked at once per second of recorded
// audio (so also when input arrives faster than real time), and the recording
// is to stop while kStopSeconds of the format still fit, leaving room for the
// converter's flush and the final header.
//
// When the file system cannot be asked, the guard does not stand in the way:
// a real full disk is still caught by the encoder's write error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class DiskSpaceGuard {
 public:
  // Free bytes below a path (file or folder); nullopt when unknown.
  using FreeBytesQuery = std::function<std::optional<uint64_t>(const std::string& path)>;

  static constexpr int64_t kStartSeconds = 10;
  static constexpr int64_t kStopSeconds = 3;
  // Least room kept free whatever the format (flush, header, file system slack).
  static constexpr int64_t kMinimumReserve = 64 * 1024;

  // Default: the real file system (statvfs).
  explicit DiskSpaceGuard(FreeBytesQuery query = {});

  // True when the folder of `outputFile` holds kStartSeconds of
  // `outputBytesPerSecond` (or cannot be asked).
  bool RoomToStart(const std::string& outputFile, int64_t outputBytesPerSecond) const;

  // A recording into `outputFile` began: input arrives at `inputBytesPerSecond`
  // and is written at `outputBytesPerSecond`.
  void Begin(const std::string& outputFile, int64_t outputBytesPerSecond, int64_t inputBytesPerSecond);
  // `inputBytes` more of input were recorded. False when the recording must
  // stop now. No allocation; one file system query per second of input.
  bool Recorded(int64_t inputBytes);
  void End() { outputFolder_.clear(); }

 private:
  static std::string FolderOf(const std::string& file);
  std::optional<uint64_t> FreeBytes(const std::string& folder) const;

  FreeBytesQuery query_;
  std::string outputFolder_;  // empty while no recording runs
  int64_t stopBelow_ = 0;     // bytes
  int64_t checkEvery_ = 0;    // input bytes between two queries
  int64_t sinceCheck_ = 0;    // input bytes since the last query
};
