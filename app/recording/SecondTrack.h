// SecondTrack: the second input of a running two-input take, block by block.
// For each block of the first input it pulls the second's stretch of the same
// frames, takes the computer's sound out of the first (an echo canceller with
// that stretch as the reference, when asked for), and makes the recorded
// frames that hold both inputs: the first's channels, then the second's (see
// TakeTracks). A second input that cannot open, or has no maker, records
// silence: the take goes on with the first input as it is.
// Input and canceller are made at Begin; the per-block calls do not allocate
// once a block of the size was seen. Recording thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/recording/RecordingFormat.h"
#include "app/recording/SecondInput.h"
#include "app/recording/SecondInputSettings.h"
#include "mixing/EchoCanceller.h"
#include "mixing/FrameDelay.h"

class SecondTrack {
 public:
  using InputMaker = std::function<std::unique_ptr<SecondInput>()>;
  using CancellerMaker = std::function<std::unique_ptr<EchoCanceller>(int32_t rate, int16_t channels)>;

  // Where inputs and cancellers come from; none: silence, and no cancelling.
  void Makers(InputMaker input, CancellerMaker canceller);

  // A take with `settings` (active: a second device) begins at `format`, the
  // first input being open. Why the second input did not open (it records
  // silence then), in the server's words; empty when it opened or none was asked for.
  std::string Begin(const SecondInputSettings& settings, const RecordingFormat& format);
  // The take ended: the second input closes.
  void End();
  // A two-input take runs.
  bool Active() const { return active_; }

  // The second input's stretch for `samples` of the first input beginning at
  // its frame `firstFrame` (counted as SecondInput::Pull counts them); silence
  // where it has none. Kept until the next call.
  std::span<const int16_t> Pull(int64_t firstFrame, size_t samples);
  // What the second input lost since the last call.
  std::vector<SecondInput::Loss> TakeLosses();
  // Takes the computer's sound out of the first input's block (as captured,
  // before the effects), the pulled stretch being the reference. The
  // canceller hands the first input back late by its lag; the second input's
  // recorded stretch is delayed as much, so the two stay aligned in the files.
  void CancelEcho(std::span<int16_t> first);
  // The recorded frames of the first input's block `first` (after effects)
  // and the pulled stretch; kept until the next call.
  std::span<const int16_t> Widen(std::span<const int16_t> first);
  // The same with silence for the second input (audio from before it opened).
  std::span<const int16_t> WidenWithSilence(std::span<const int16_t> first);
  // The echo's delay as the canceller estimates it; none without one (or an estimate).
  std::optional<double> EchoDelayMs() const;
  // The pulled stretch's peaks per channel, for its level bars (mono: the same twice).
  std::array<int32_t, 2> Peaks() const;

 private:
  std::span<const int16_t> Interleave(std::span<const int16_t> first, std::span<const int16_t> second);

  InputMaker inputMaker_;
  CancellerMaker cancellerMaker_;
  bool active_ = false;
  int16_t channels_ = 1;
  std::unique_ptr<SecondInput> input_;         // none: silence
  std::unique_ptr<EchoCanceller> canceller_;   // none: the first input as it is
  std::optional<FrameDelay> referenceDelay_;   // the canceller's lag, with it
  std::span<const int16_t> recorded_;          // the second input's stretch as recorded beside the first
  std::vector<int16_t> stretch_;               // the last pulled stretch
  std::vector<int16_t> silence_;
  std::vector<int16_t> wide_;
};
