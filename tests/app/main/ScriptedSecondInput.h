// ScriptedSecondInput: a second input that plays a script: its samples on the
// first input's frames, losses told where they lie (silence there), an open
// that fails when told to; and what it was asked, for the test to read after
// the take (the recording thread calls it).
#pragma once

#include <string>
#include <vector>

#include "app/recording/SecondInput.h"

// What the scripted second input plays and was asked.
struct SecondInputScript {
  std::vector<int16_t> audio;             // its samples from the first input's frame 0; silence after them
  std::vector<SecondInput::Loss> losses;  // told by the first pull that reaches them, silent where they are
  std::string openFailure;
  std::string openedSource;
  int32_t openedRate = 0;
  int16_t openedChannels = 0;
  std::vector<int64_t> pulledFrames;
  bool closed = false;
};

class ScriptedSecondInput : public SecondInput {
 public:
  explicit ScriptedSecondInput(SecondInputScript& script) : script_(script) {}
  std::string Open(const std::string& sourceName, int32_t rate, int16_t channels) override {
    script_.openedSource = sourceName;
    script_.openedRate = rate;
    script_.openedChannels = channels;
    channels_ = channels;
    return script_.openFailure;
  }
  void Close() override { script_.closed = true; }
  bool IsOpen() const override { return !script_.closed; }
  void Pull(int64_t firstFrame, std::span<int16_t> out) override {
    script_.pulledFrames.push_back(firstFrame);
    for (size_t i = 0; i < out.size(); ++i) {
      const int64_t at = firstFrame * channels_ + static_cast<int64_t>(i);
      out[i] = at < static_cast<int64_t>(script_.audio.size()) && !Lost(at / channels_) ? script_.audio[at] : 0;
    }
    pulledUpTo_ = firstFrame + static_cast<int64_t>(out.size()) / channels_;
  }
  std::vector<Loss> TakeLosses() override {
    std::vector<Loss> told;
    while (next_ < script_.losses.size() && script_.losses[next_].firstFrame < pulledUpTo_) told.push_back(script_.losses[next_++]);
    return told;
  }

 private:
  bool Lost(int64_t frame) const {
    for (const Loss& loss : script_.losses) {
      if (frame >= loss.firstFrame && (loss.vanished || frame < loss.firstFrame + loss.frames)) return true;
    }
    return false;
  }
  SecondInputScript& script_;
  int16_t channels_ = 2;
  int64_t pulledUpTo_ = 0;
  size_t next_ = 0;
};
