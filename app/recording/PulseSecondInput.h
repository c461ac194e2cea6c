// PulseSecondInput: SecondInput on the audio server. A record stream of its
// own (PulseTimedInput) on a connection of its own, laid beside the first
// input by both inputs' capture clocks and kept there by a DriftCompensator:
// for each stretch the first input's capture times say which of the second
// input's frames belong to it, and the compensator steers towards them.
//
// The second input begins at the first Pull, once its timing is known well
// (kAlignReadings, gathered within tens of ms of Open); a second input whose
// timing is not known by then is silence until it is, told as no Loss. Pull
// waits for the second input's stretch at most kWaitPeriods of its delivery
// periods plus kWaitMargin; what has not come by then is silence and a Loss
// (the late frames are dropped when they come). Gaps the server's
// timing shows are silence and Losses too. An offset past kJumpSeconds is no
// clock drift but input the first lost: the second skips the same stretch.
//
// Recording thread only, as SecondInput; the first input's clock may be read
// from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/recording/SecondInput.h"
#include "capture/PulseTimedInput.h"

class CaptureClock;
class DriftCompensator;
class PulseConnection;

class PulseSecondInput : public SecondInput {
 public:
  static constexpr int kWaitPeriods = 2;
  static constexpr std::chrono::milliseconds kWaitMargin{50};
  // The longest wait for a source that delivers in long runs.
  static constexpr std::chrono::milliseconds kLongestWait{3000};
  // Input the resampler looks ahead, with room to spare.
  static constexpr int64_t kLookAheadFrames = 64;
  static constexpr double kJumpSeconds = 0.05;
  // Readings of the second input's timing needed before its start is laid:
  // those asked for in quick succession as it opens.
  static constexpr size_t kAlignReadings = PulseTimingBurst::kReadings;

  // `firstClock`: the first input's (its WaveInRecorder), outliving this.
  // `fragmentsPerSecond`: how often the server hands over the second input.
  PulseSecondInput(const CaptureClock& firstClock, std::shared_ptr<PulseConnection> connection,
                   uint32_t fragmentsPerSecond);
  ~PulseSecondInput() override;

  // The recorder's way in: a second input on a server connection of its own,
  // beside the first input whose clock is `firstClock`, delivered as often as
  // the first (`fragmentsPerSecond`: 20 with the window shown, 4 without).
  static std::unique_ptr<SecondInput> Create(const CaptureClock& firstClock, uint32_t fragmentsPerSecond);

  std::string Open(const std::string& sourceName, int32_t rate, int16_t channels) override;
  void Close() override;
  bool IsOpen() const override { return input_.IsOpen(); }
  void Pull(int64_t firstFrame, std::span<int16_t> out) override;
  std::vector<Loss> TakeLosses() override;

 private:
  // The compensator's position (second-input frames from origin_) of the
  // first input's frame `firstFrame`, by the two capture clocks.
  std::optional<double> WantedPosition(int64_t firstFrame) const;
  // Lays the second input beside the first at `firstFrame`; false while
  // either has no timing yet.
  bool Align(int64_t firstFrame);
  std::chrono::milliseconds WaitLimit() const;
  void WaitForInput(int64_t frames);
  // Moves what has come into the compensator; gaps become Losses.
  void Feed(int64_t firstFrame);
  void SkipWhatTheFirstLost(int64_t firstFrame);
  void ReportShortfall(int64_t blockEnd);
  void AddLoss(Loss loss);

  const CaptureClock& firstClock_;
  PulseTimedInput input_;
  uint32_t fragmentsPerSecond_;
  int32_t rate_ = 0;
  int16_t channels_ = 1;
  std::unique_ptr<DriftCompensator> compensator_;  // from the first aligned Pull
  int64_t origin_ = 0;  // the second input's frame at compensator position 0
  std::vector<int16_t> scratch_;
  std::vector<Loss> losses_;
  bool vanishedTold_ = false;
  bool alignWaited_ = false;  // the first Pull waited for the opening's timing readings
  int64_t stalledAt_ = -1;  // received frames when a wait last ran out; -1: none did
};
