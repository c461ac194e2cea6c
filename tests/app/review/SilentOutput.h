// SilentOutput: a playback output that takes nothing and never plays, for
// review panels under test that are not about playback.
#pragma once

#include "capture/PlaybackOutput.h"

class SilentOutput : public PlaybackOutput {
 public:
  std::string Open(int32_t, int16_t) override { return {}; }
  int64_t Writable() override { return 0; }
  bool Write(std::span<const int16_t>) override { return true; }
  int64_t PlayedFrames() override { return 0; }
  void Drain() override {}
  bool Drained() override { return false; }
  void Close() override {}
  std::string LastError() const override { return {}; }
};
