// SyncPacer: when a recording's next sync to the disk is due. At least
// Interval after the last one ended, and at least twice as long as the last
// one took: a disk whose every sync takes seconds (a stick, a share, a disk
// spinning up) then costs the recording thread a third of its time at most,
// instead of all of it, and the queue before it never has to fill up.
#pragma once

#include <algorithm>
#include <chrono>

class SyncPacer {
 public:
  using Clock = std::chrono::steady_clock;

  std::chrono::milliseconds Interval() const { return interval_; }
  // Negative values count as 0 (a sync after every block).
  void Interval(std::chrono::milliseconds value) { interval_ = std::max(value, std::chrono::milliseconds{0}); }

  // The first sync of a new file comes an interval from now.
  void Restart() {
    lastEnd_ = Clock::now();
    lastTook_ = Clock::duration::zero();
  }
  bool Due() const {
    if (interval_.count() == 0) return true;
    return Clock::now() - lastEnd_ >= std::max<Clock::duration>(interval_, 2 * lastTook_);
  }
  // Runs `sync` and notes how long it took; returns what it returned.
  template <typename Sync>
  auto Run(Sync sync) {
    const Clock::time_point began = Clock::now();
    auto result = sync();
    lastEnd_ = Clock::now();
    lastTook_ = lastEnd_ - began;
    return result;
  }

 private:
  std::chrono::milliseconds interval_{1000};
  Clock::time_point lastEnd_{};  // epoch: the first sync is due at once
  Clock::duration lastTook_{};
};
