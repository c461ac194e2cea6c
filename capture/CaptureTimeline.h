// CaptureTimeline: when each received byte of an input was captured, from
// readings taken as the input arrives ("what was received so far ends at byte
// N, captured at t"). Input comes in bursts, and a reading taken some time
// after a burst's capture only ever errs late, by up to a burst's length; the
// earliest origin (t - N / rate) of the last kWindow readings is close to the
// truth, steady, and still follows the device clock's slow drift. Readings of
// the last kRecentUsec count as well, however many: a burst of them, taken in
// quick succession as an input starts, finds the truth within milliseconds.
// A reading much later than the origin marks input that never came (a
// stalled device, data the server dropped): GapBefore gives its length so the
// caller can fill it.
// Thread-safe: the main loop thread notes, any thread asks (a short lock).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

#include "capture/CaptureClock.h"

class CaptureTimeline : public CaptureClock {
 public:
  static constexpr size_t kWindow = 20;
  static constexpr int64_t kRecentUsec = 1'000'000;
  // Readings kept: kRecentUsec of quick ones at the most.
  static constexpr size_t kCapacity = 512;
  // Beyond any jitter of a working input's timing.
  static constexpr int64_t kGapUsec = 40000;

  // Forgets every reading; positions count `frameBytes`-byte frames at `bytesPerSecond`.
  void Reset(int64_t bytesPerSecond, int64_t frameBytes);
  // Bytes (whole frames) that went missing before input ending at `position`
  // captured at `capturedAtUsec`, counting only lateness beyond
  // `toleranceUsec`; 0 when none did.
  int64_t GapBefore(int64_t position, int64_t capturedAtUsec, int64_t toleranceUsec = kGapUsec) const;
  // Readings at position 0 or before (no input yet) are ignored: false.
  bool Note(int64_t position, int64_t capturedAtUsec);

  std::optional<int64_t> CapturedAtUsec(int64_t position) const override;
  // Readings noted since Reset.
  size_t Readings() const;
  // The byte position captured at `usec` (fractional; before 0 or past what
  // was received when `usec` is).
  std::optional<double> PositionAt(int64_t usec) const;

 private:
  // With mutex_ held.
  std::optional<double> EarliestOrigin() const;
  double OriginOf(int64_t position, int64_t capturedAtUsec) const;

  mutable std::mutex mutex_;
  double bytesPerUsec_ = 1;
  int64_t frameBytes_ = 1;
  struct Reading {
    double origin = 0;  // usec
    int64_t capturedAtUsec = 0;
  };
  std::array<Reading, kCapacity> ring_{};
  size_t readings_ = 0;
};
