#include "mixing/WebRtcEchoCanceller.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "common/SampleMath.h"

namespace {

constexpr int32_t kMinRate = 8000;
constexpr int32_t kMaxRate = 96000;
constexpr float kFullScale = 32768.0f;
constexpr int32_t kFramesPerDelayRead = 100;  // once a second: the library updates its figure as often
constexpr double kNoDelay = std::numeric_limits<double>::quiet_NaN();
// The library's delay median reads low and moves in steps of about 20 ms
// (fed echoes of 30 .. 100 ms it reports 28, 28, 48, 68, 88 ms); this centres
// it on the delays each step stands for.
constexpr double kDelayMedianOffsetMs = 10.0;

// The canceller as configured for every stream: the delay found by the library
// itself (the recorder cannot know the loudspeakers' latency), the long filter
// for rooms with a long tail, and moderate residual suppression, which keeps
// the near voice whole while both speak.
std::unique_ptr<webrtc::AudioProcessing> NewProcessing(int32_t libraryRate, int16_t channels) {
  webrtc::Config config;
  config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
  config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
  std::unique_ptr<webrtc::AudioProcessing> processing(webrtc::AudioProcessing::Create(config));
  const webrtc::StreamConfig stream(libraryRate, channels);
  const webrtc::ProcessingConfig streams{{stream, stream, stream, stream}};
  webrtc::EchoCancellation& canceller = *processing->echo_cancellation();
  if (processing->Initialize(streams) != webrtc::AudioProcessing::kNoError || canceller.Enable(true) != 0 ||
      canceller.enable_drift_compensation(false) != 0 ||
      canceller.set_suppression_level(webrtc::EchoCancellation::kModerateSuppression) != 0 ||
      canceller.enable_delay_logging(true) != 0) {
    throw std::runtime_error("The echo canceller does not take " + std::to_string(libraryRate) + " Hz with " +
                             std::to_string(channels) + " channel(s)");
  }
  return processing;
}

// Where a click comes out of a fresh canceller with a silent reference: the
// library's own lag in frames.
int32_t MeasureLibraryLag(int32_t libraryRate) {
  const auto processing = NewProcessing(libraryRate, 1);
  const webrtc::StreamConfig stream(libraryRate, 1);
  const size_t frameLength = stream.num_frames();
  constexpr size_t kClickFrame = 2;  // after the library's start-up frames
  constexpr size_t kFrames = 10;     // room for lags up to 70 ms
  std::vector<float> frame(frameLength);
  std::vector<float> silence(frameLength);
  float* nearPointer = frame.data();
  float* farPointer = silence.data();
  size_t loudestAt = 0;
  float loudest = 0.0f;
  for (size_t index = 0; index < kFrames; ++index) {
    std::fill(frame.begin(), frame.end(), 0.0f);
    if (index == kClickFrame) frame[0] = 0.5f;
    processing->ProcessReverseStream(&farPointer, stream, stream, &farPointer);
    processing->set_stream_delay_ms(0);
    processing->ProcessStream(&nearPointer, stream, stream, &nearPointer);
    for (size_t n = 0; n < frameLength; ++n) {
      if (std::fabs(frame[n]) > loudest) {
        loudest = std::fabs(frame[n]);
        loudestAt = index * frameLength + n;
      }
    }
  }
  if (loudestAt < kClickFrame * frameLength) {
    throw std::runtime_error("The echo canceller lost a test click at " + std::to_string(libraryRate) + " Hz");
  }
  return static_cast<int32_t>(loudestAt - kClickFrame * frameLength);
}

void Deinterleave(std::span<const int16_t> interleaved, std::vector<std::vector<float>>& planes) {
  const size_t channels = planes.size();
  for (size_t channel = 0; channel < channels; ++channel) {
    float* plane = planes[channel].data();
    for (size_t n = 0, i = channel; i < interleaved.size(); ++n, i += channels) plane[n] = interleaved[i] / kFullScale;
  }
}

void Interleave(const std::vector<std::vector<float>>& planes, std::span<int16_t> interleaved) {
  const size_t channels = planes.size();
  for (size_t channel = 0; channel < channels; ++channel) {
    const float* plane = planes[channel].data();
    for (size_t n = 0, i = channel; i < interleaved.size(); ++n, i += channels) {
      interleaved[i] = ClipSample(plane[n] * kFullScale);
    }
  }
}

int32_t CheckedRate(int32_t rate) {
  if (rate < kMinRate || rate > kMaxRate) {
    throw std::invalid_argument("Echo cancelling takes 8000 .. 96000 Hz, not " + std::to_string(rate) + " Hz");
  }
  return rate;
}

int16_t CheckedChannels(int16_t channels) {
  if (channels != 1 && channels != 2) {
    throw std::invalid_argument("Echo cancelling takes 1 or 2 channels, not " + std::to_string(channels));
  }
  return channels;
}

}  // namespace

WebRtcEchoCanceller::WebRtcEchoCanceller(int32_t rate, int16_t channels)
    : rate_(CheckedRate(rate)),
      channels_(CheckedChannels(channels)),
      libraryRate_(rate / 100 * 100),
      frameLength_(static_cast<size_t>(libraryRate_ / 100)),
      processing_(NewProcessing(libraryRate_, channels_)),
      nearPlanes_(channels_, std::vector<float>(frameLength_)),
      farPlanes_(channels_, std::vector<float>(frameLength_)),
      lagFrames_(static_cast<int32_t>(frameLength_) + MeasureLibraryLag(libraryRate_)),
      reframer_(frameLength_ * channels_, [this](std::span<int16_t> near, std::span<const int16_t> far) {
        ProcessFrame(near, far);
      }),
      delayMs_(kNoDelay),
      framesToDelayRead_(kFramesPerDelayRead) {
  for (auto& plane : nearPlanes_) nearPointers_.push_back(plane.data());
  for (auto& plane : farPlanes_) farPointers_.push_back(plane.data());
}

WebRtcEchoCanceller::~WebRtcEchoCanceller() = default;

void WebRtcEchoCanceller::Process(std::span<int16_t> near, std::span<const int16_t> far) {
  reframer_.Process(near, far);
}

void WebRtcEchoCanceller::ProcessFrame(std::span<int16_t> near, std::span<const int16_t> far) {
  const webrtc::StreamConfig stream(libraryRate_, channels_);
  Deinterleave(far, farPlanes_);
  Deinterleave(near, nearPlanes_);
  processing_->ProcessReverseStream(farPointers_.data(), stream, stream, farPointers_.data());
  // The delay is the library's to find; it only needs to be told each frame.
  processing_->set_stream_delay_ms(0);
  // On a refusal the microphone passes as it came rather than be lost.
  if (processing_->ProcessStream(nearPointers_.data(), stream, stream, nearPointers_.data()) ==
      webrtc::AudioProcessing::kNoError) {
    Interleave(nearPlanes_, near);
  }
  if (--framesToDelayRead_ == 0) {
    delayMs_.store(AskDelayMs(), std::memory_order_relaxed);
    framesToDelayRead_ = kFramesPerDelayRead;
  }
}

std::optional<double> WebRtcEchoCanceller::DelayMs() const {
  const double delay = delayMs_.load(std::memory_order_relaxed);
  if (std::isnan(delay)) return std::nullopt;
  return delay;
}

double WebRtcEchoCanceller::AskDelayMs() const {
  int median = 0;
  int deviation = 0;
  float poorFraction = 0.0f;
  if (processing_->echo_cancellation()->GetDelayMetrics(&median, &deviation, &poorFraction) != 0 || deviation < 0) {
    return kNoDelay;
  }
  // The library counts in its own milliseconds, those of libraryRate_.
  return (median + kDelayMedianOffsetMs) * libraryRate_ / rate_;
}
