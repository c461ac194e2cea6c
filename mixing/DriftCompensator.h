// DriftCompensator: the second input resampled continuously onto the first
// input's clock. The caller says, per block, where in the second input the
// block's end should fall (by the two inputs' capture times); a PI loop steers
// the resampling ratio so the consumed position follows it. The loop is
// critically damped with time constant kTimeConstantSeconds: a clock
// difference of d leaves at most about d * tau / e (0.6 ms at 500 ppm) of
// offset while it settles and none after; a jitter of j in the wanted
// positions, smoothed first, moves the ratio by well under 2 j / tau. The
// ratio changes smoothly, so there are no clicks, and no block is dropped or
// repeated.
//
// Input that is late when a block is due becomes silence of that length; the
// late frames are dropped when they come, so what follows stays aligned.
// Configuration in the constructor; Push and Pull run per block, on one
// thread, without allocating once the queue has grown to its working size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct SwrContext;

class DriftCompensator {
 public:
  static constexpr double kTimeConstantSeconds = 3.0;
  // The measured offset is smoothed over this long first (well inside tau).
  static constexpr double kSmoothingSeconds = 0.5;
  // The largest correction: beyond any pair of working sound cards' clocks.
  static constexpr double kMaxCorrection = 0.002;


  DriftCompensator(int32_t rate, int16_t channels);
  ~DriftCompensator();
  DriftCompensator(const DriftCompensator&) = delete;
  DriftCompensator& operator=(const DriftCompensator&) = delete;

  // Appends second-input frames (interleaved), in order.
  void Push(std::span<const int16_t> samples);
  // Appends `frames` of silence (input known to be missing, or before the
  // second input began).
  void PushSilence(int64_t frames);
  // Drops the next `frames` of input, pushed or still to come, as if consumed
  // (the first input skipped that long).
  void Skip(int64_t frames) { owed_ += frames; }
  // Fills `out` exactly (whole frames). `wantedEnd`: the second-input
  // position (frames pushed, counted from 0) that the block's end should reach.
  void Pull(std::span<int16_t> out, double wantedEnd);

  // The second-input position of the next output frame.
  double Position() const;
  // Frames pushed and not yet turned into output.
  int64_t Queued() const;
  // The position the next pushed frame will have, were nothing owed.
  int64_t PushedEnd() const { return skipped_ + fed_ + Queued(); }
  // Frames of input still to come that will be dropped as late.
  int64_t Owed() const { return owed_; }
  // Input frames per output frame, minus 1 (positive: the second input's clock is fast).
  double Correction() const { return correction_; }
  // Output frames made silent for want of input since the last call.
  int64_t TakeShortfall();

 private:
  void Steer(double wantedEnd, int64_t blockFrames);
  int64_t Resample(int16_t* out, int64_t frames);
  void Compact();

  const int32_t rate_;
  const int16_t channels_;
  SwrContext* swr_ = nullptr;
  std::vector<int16_t> queue_;  // pushed samples; the first queueStart_ are consumed
  size_t queueStart_ = 0;
  int64_t fed_ = 0;          // frames handed to the resampler
  int64_t owed_ = 0;         // late frames to drop when they come
  int64_t skipped_ = 0;      // late frames dropped
  int64_t shortfall_ = 0;
  double correction_ = 0;
  double offset_ = 0;        // smoothed, seconds
  double integral_ = 0;      // the loop's integral term (a correction)
};
