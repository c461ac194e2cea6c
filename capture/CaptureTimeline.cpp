// CaptureTimeline: a ring of reading origins and the earliest of them.
#include "capture/CaptureTimeline.h"

#include <algorithm>
#include <cmath>

void CaptureTimeline::Reset(int64_t bytesPerSecond, int64_t frameBytes) {
  std::lock_guard lock(mutex_);
  bytesPerUsec_ = static_cast<double>(bytesPerSecond) / 1e6;
  frameBytes_ = frameBytes;
  readings_ = 0;
}

int64_t CaptureTimeline::GapBefore(int64_t position, int64_t capturedAtUsec, int64_t toleranceUsec) const {
  std::lock_guard lock(mutex_);
  const std::optional<double> origin = EarliestOrigin();
  if (!origin) return 0;
  const double late = OriginOf(position, capturedAtUsec) - *origin;
  if (late <= static_cast<double>(toleranceUsec)) return 0;
  return std::llround(late * bytesPerUsec_ / static_cast<double>(frameBytes_)) * frameBytes_;
}

bool CaptureTimeline::Note(int64_t position, int64_t capturedAtUsec) {
  // Before any input (a stream not started yet) a reading's time is no
  // capture's: it would pass for one far too early.
  if (position <= 0) return false;
  std::lock_guard lock(mutex_);
  ring_[readings_ % kCapacity] = {OriginOf(position, capturedAtUsec), capturedAtUsec};
  ++readings_;
  return true;
}

std::optional<int64_t> CaptureTimeline::CapturedAtUsec(int64_t position) const {
  std::lock_guard lock(mutex_);
  const std::optional<double> origin = EarliestOrigin();
  if (!origin) return std::nullopt;
  return std::llround(*origin + static_cast<double>(position) / bytesPerUsec_);
}

size_t CaptureTimeline::Readings() const {
  std::lock_guard lock(mutex_);
  return readings_;
}

std::optional<double> CaptureTimeline::PositionAt(int64_t usec) const {
  std::lock_guard lock(mutex_);
  const std::optional<double> origin = EarliestOrigin();
  if (!origin) return std::nullopt;
  return (static_cast<double>(usec) - *origin) * bytesPerUsec_;
}

std::optional<double> CaptureTimeline::EarliestOrigin() const {
  if (readings_ == 0) return std::nullopt;
  const size_t kept = std::min(readings_, kCapacity);
  const Reading& newest = ring_[(readings_ - 1) % kCapacity];
  double earliest = newest.origin;
  for (size_t back = 1; back < kept; ++back) {
    const Reading& reading = ring_[(readings_ - 1 - back) % kCapacity];
    if (back >= kWindow && reading.capturedAtUsec < newest.capturedAtUsec - kRecentUsec) break;
    earliest = std::min(earliest, reading.origin);
  }
  return earliest;
}

double CaptureTimeline::OriginOf(int64_t position, int64_t capturedAtUsec) const {
  return static_cast<double>(capturedAtUsec) - static_cast<double>(position) / bytesPerUsec_;
}
