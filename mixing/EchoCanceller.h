// EchoCanceller: removes from a microphone's input what the loudspeakers played
// (the far end of a call, heard again late and coloured), given what was sent
// to them as the reference. Both streams at one rate and channel count, the
// reference aligned to the microphone as the recorder aligns its inputs.
// One thread at a time. MakeEchoCanceller builds the one the program uses.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

class EchoCanceller {
 public:
  virtual ~EchoCanceller() = default;
  // Cancels in place: `near` (the microphone) and `far` (the reference) hold
  // the same number of frames, any number per call.
  virtual void Process(std::span<int16_t> near, std::span<const int16_t> far) = 0;
  // The echo's delay as the canceller estimates it; none until it has one.
  virtual std::optional<double> DelayMs() const = 0;
  // How many frames the cancelled microphone comes out late: Process hands
  // back the input of LagFrames() frames earlier (silence at first). Fixed for
  // the canceller's life; whoever mixes the two inputs delays the reference by
  // as much to keep them aligned.
  virtual int32_t LagFrames() const = 0;
};
