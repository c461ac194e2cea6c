#include "app/recording/DiskSpaceGuard.h"

#include <algorithm>
#include <filesystem>

#include "common/DiskSpace.h"

DiskSpaceGuard::DiskSpaceGuard(FreeBytesQuery query)
    : query_(query ? std::move(query) : FreeBytesQuery(&DiskSpace::AvailableBytes)) {}

std::string DiskSpaceGuard::FolderOf(const std::string& file) {
  const auto parent = std::filesystem::path(file).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::optional<uint64_t> DiskSpaceGuard::FreeBytes(const std::string& folder) const { return query_(folder); }

bool DiskSpaceGuard::RoomToStart(const std::string& outputFile, int64_t outputBytesPerSecond) const {
  const auto free = FreeBytes(FolderOf(outputFile));
  if (!free) return true;
  const int64_t needed = std::max<int64_t>(kStartSeconds * std::max<int64_t>(outputBytesPerSecond, 1), kMinimumReserve);
  return *free >= static_cast<uint64_t>(needed);
}

void DiskSpaceGuard::Begin(const std::string& outputFile, int64_t outputBytesPerSecond, int64_t inputBytesPerSecond) {
  outputFolder_ = FolderOf(outputFile);
  stopBelow_ = std::max<int64_t>(kStopSeconds * std::max<int64_t>(outputBytesPerSecond, 1), kMinimumReserve);
  checkEvery_ = std::max<int64_t>(inputBytesPerSecond, 1);
  sinceCheck_ = checkEvery_;  // the first block is checked
}

bool DiskSpaceGuard::Recorded(int64_t inputBytes) {
  if (outputFolder_.empty()) return true;
  sinceCheck_ += std::max<int64_t>(inputBytes, 0);
  if (sinceCheck_ < checkEvery_) return true;
  sinceCheck_ = 0;
  const auto free = FreeBytes(outputFolder_);
  return !free || *free >= static_cast<uint64_t>(stopBelow_);
}
