// CaptureSink: where the capture engine hands what it captured. The engine
// calls it on the thread that started the recording (the recording thread),
// never on the audio server's thread and never on the window's; one call at a
// time, in the order the input arrived.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Why a run of input was dropped.
enum class InputLoss {
  ProgramTooBusy,  // the server dropped it: the program did not read its stream in time
  QueueFull,       // the queue to the recording thread was full: the recording fell behind (the disk)
};

class CaptureSink {
 public:
  virtual ~CaptureSink() = default;

  // A filled capture buffer: intBuffer is the engine's whole array (copy what
  // you keep), lngLen its valid byte count. StopRecord may be called from inside.
  virtual void GotData(std::span<int16_t> intBuffer, int32_t& lngLen) = 0;
  // Input was dropped just before the next block; the recording goes on.
  virtual void InputLost(InputLoss cause) = 0;
  // The device or the server vanished; blocks filled before the loss came
  // first, and none follows before the owner calls StopRecord.
  virtual void DeviceLost(const std::string& reason) = 0;
};
