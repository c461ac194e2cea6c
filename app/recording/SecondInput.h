// SecondInput: a second device recorded beside the take's first input, on the
// first input's clock. Its audio is aligned to the first's by the server's
// timing (a sound reaching both at one moment lands on the same sample) and
// resampled continuously to the first's clock, so the two stay together
// however long the take runs. Input it loses (a dropout, a vanished device) is
// filled with silence of exactly that length and told as a Loss; a vanished
// second device ends neither the take nor the first track.
// Recording thread only (the thread that records the first input).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class SecondInput {
 public:
  struct Loss {
    int64_t firstFrame = 0;  // where the silence begins, in the first input's frames (as Pull counts)
    int64_t frames = 0;      // how much silence stands for the lost input
    bool vanished = false;   // the device or its stream went away: silence from here on
    std::string reason;      // the server's words, when it gave any
  };

  virtual ~SecondInput() = default;

  // Opens `sourceName` at the first input's rate and channels, the first input
  // being open already. Empty when open; else why not, in the server's words.
  virtual std::string Open(const std::string& sourceName, int32_t rate, int16_t channels) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The second input's audio for the first input's frames [firstFrame,
  // firstFrame + out.size() / channels), firstFrame counting the first input's
  // frames since it opened (its received bytes / frame size, as
  // MarkReceived counts). Calls ask for consecutive stretches. It may wait,
  // for a bounded time, for the second input's audio of that stretch to arrive.
  virtual void Pull(int64_t firstFrame, std::span<int16_t> out) = 0;
  // The losses since the last call, oldest first.
  virtual std::vector<Loss> TakeLosses() = 0;
};
