// WebRtcEchoCanceller: the echo canceller of libwebrtc-audio-processing (the
// adaptive filter with its delay estimate and residual echo suppressor) behind
// EchoCanceller. The library takes 10 ms frames of whole samples, so a stream
// of 11025 or 22050 Hz is handed over as 11000 or 22000 Hz: the adaptive
// filter works in samples and does not notice the 0.23 % mislabel; only its
// delay figure is scaled back. Other rates it resamples itself.
//
// Output lag (LagFrames): one 10 ms frame of gathering, plus the library's own
// (its 4 ms blocks with overlap, and its band splitting and resampling above
// 16 kHz: 382 frames at 48 kHz), which it does not publish and which is
// therefore measured once with a click at construction.
//
// Construct and use on one thread; Process does not allocate. DelayMs may be
// read from any thread (the window showing it): the library is asked once a
// second on the processing thread and the figure kept.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "mixing/BlockReframer.h"
#include "mixing/EchoCanceller.h"

namespace webrtc {
class AudioProcessing;
}

class WebRtcEchoCanceller : public EchoCanceller {
 public:
  // `rate` 8000 .. 96000 Hz, `channels` 1 or 2; throws std::invalid_argument
  // otherwise, std::runtime_error when the library refuses the format.
  WebRtcEchoCanceller(int32_t rate, int16_t channels);
  ~WebRtcEchoCanceller() override;

  void Process(std::span<int16_t> near, std::span<const int16_t> far) override;
  std::optional<double> DelayMs() const override;
  int32_t LagFrames() const override { return lagFrames_; }

 private:
  // One 10 ms frame, interleaved, through the library.
  void ProcessFrame(std::span<int16_t> near, std::span<const int16_t> far);
  // The library's current delay figure in ms of rate_; NaN while it has none.
  double AskDelayMs() const;

  int32_t rate_;
  int16_t channels_;
  int32_t libraryRate_;  // the rate the library is told: rate_ rounded down to 100 Hz
  size_t frameLength_;   // frames per 10 ms
  std::unique_ptr<webrtc::AudioProcessing> processing_;
  std::vector<std::vector<float>> nearPlanes_;  // per channel, -1 .. 1
  std::vector<std::vector<float>> farPlanes_;
  std::vector<float*> nearPointers_;
  std::vector<float*> farPointers_;
  int32_t lagFrames_;
  BlockReframer reframer_;
  std::atomic<double> delayMs_;  // NaN: no estimate yet
  int32_t framesToDelayRead_;
};
