// SoundGate: which of a sound-activated recording's processed samples belong
// to a take. While waiting it keeps the newest pre-roll in a ring; a level at
// or above the threshold held for the hold time starts a take that begins the
// pre-roll before its first loud frame, so the onset is never cut. Silence for
// the hang time (at least one whole quiet window) ends the take after that
// silent tail (kept: a decay or a breath belongs to what was said). No sample is handed over twice: the next
// pre-roll never reaches back into a take already written.
//
// The level is the peak of 10 ms windows, counted from the first fed sample;
// the hold and the hang are decided at window ends. Buffers are sized by
// Configure, Feed does not allocate.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/handsfree/HandsFreeSettings.h"

class SoundGate {
 public:
  // Told, in stream order, what the gate decides.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void TakeStarts() = 0;
    // Samples of the running take, the pre-roll first.
    virtual void TakeAudio(std::span<const int16_t> samples) = 0;
    virtual void TakeEnds() = 0;
  };

  // For a stream of `rate` frames per second of `channels` interleaved samples; arms.
  // Only the first `listened` channels of each frame are heard (0: all of them).
  void Configure(const SoundActivation& settings, int32_t rate, int16_t channels, int16_t listened = 0);
  // Waiting for sound from the next sample on, with nothing kept before it.
  void Arm();
  // Drops the pre-roll kept while waiting: what comes after a pause is not
  // preceded by what came before it.
  void ForgetPreRoll();
  // The next samples of the stream, after effects (whole frames).
  void Feed(std::span<const int16_t> samples, Listener& listener);

  bool InTake() const { return inTake_; }
  // Takes started since Arm.
  int32_t Takes() const { return takes_; }
  // Samples fed since Arm; at TakeStarts, the position where the take was decided.
  int64_t Position() const { return position_; }

  // Sample value at or above which a sample counts as sound.
  static double ThresholdAmplitude(double thresholdDbfs);

 private:
  enum class Change { None, TakeStarts, TakeEnds };

  void NoteFirstLoud(std::span<const int16_t> chunk);
  // Keeps the newest samples fed while waiting, by their stream positions.
  void Remember(std::span<const int16_t> samples);
  // What the window that ends here decides.
  Change EndOfWindow();
  void StartTake(Listener& listener);
  void EndTake(Listener& listener);
  // Hands the ring's samples from stream position `from` on to the take.
  void ReplayRingFrom(int64_t from, Listener& listener);

  int16_t channels_ = 1;
  int16_t listened_ = 1;  // of each frame's channels, the first ones heard
  double threshold_ = 0;
  int64_t windowSamples_ = 1;
  int64_t holdSamples_ = 0;
  int64_t preRollSamples_ = 0;
  int64_t hangSamples_ = 0;

  std::vector<int16_t> ring_;
  int64_t ringBegin_ = 0;  // stream position of the oldest sample kept

  int64_t position_ = 0;       // samples fed since Arm
  int64_t windowLeft_ = 1;     // samples until the current window ends
  int64_t firstLoud_ = -1;     // in the current window, -1: none yet
  int64_t runStart_ = -1;      // first loud frame of the loud windows before this one, -1: none
  int64_t quietSamples_ = 0;   // of quiet windows in a row, in a take
  bool inTake_ = false;
  int32_t takes_ = 0;
};
