#include "app/handsfree/SoundGate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr int32_t kWindowsPerSecond = 100;  // 10 ms level windows

int64_t Samples(double seconds, int32_t rate, int16_t channels) {
  return std::llround(std::max(seconds, 0.0) * rate) * channels;
}

}  // namespace

double SoundGate::ThresholdAmplitude(double thresholdDbfs) { return 32768.0 * std::pow(10.0, thresholdDbfs / 20.0); }

void SoundGate::Configure(const SoundActivation& settings, int32_t rate, int16_t channels, int16_t listened) {
  channels_ = std::max<int16_t>(channels, 1);
  listened_ = listened > 0 ? std::min(listened, channels_) : channels_;
  threshold_ = ThresholdAmplitude(settings.thresholdDbfs);
  windowSamples_ = int64_t{std::max(rate / kWindowsPerSecond, 1)} * channels_;
  holdSamples_ = Samples(settings.holdMs / 1000.0, rate, channels_);
  preRollSamples_ = Samples(std::min(settings.preRollSeconds, SoundActivation::kLongestPreRollSeconds), rate, channels_);
  // At least one quiet window: a take never ends on a loud one.
  hangSamples_ = std::max(Samples(settings.hangSeconds, rate, channels_), windowSamples_);
  // A take is decided less than hold + one window after its first loud frame.
  ring_.assign(static_cast<size_t>(preRollSamples_ + holdSamples_ + 2 * windowSamples_), 0);
  Arm();
}

void SoundGate::Arm() {
  ringBegin_ = 0;
  position_ = 0;
  windowLeft_ = windowSamples_;
  firstLoud_ = -1;
  runStart_ = -1;
  quietSamples_ = 0;
  inTake_ = false;
  takes_ = 0;
}

void SoundGate::ForgetPreRoll() {
  ringBegin_ = position_;
  runStart_ = -1;
}

void SoundGate::Feed(std::span<const int16_t> samples, Listener& listener) {
  constexpr size_t kNone = std::numeric_limits<size_t>::max();
  size_t unwritten = kNone;  // first sample of the running take not yet handed over
  size_t pos = 0;
  while (pos < samples.size()) {
    const size_t n = std::min(static_cast<size_t>(windowLeft_), samples.size() - pos);
    const std::span<const int16_t> chunk = samples.subspan(pos, n);
    NoteFirstLoud(chunk);
    if (!inTake_) {
      Remember(chunk);
    } else if (unwritten == kNone) {
      unwritten = pos;
    }
    position_ += static_cast<int64_t>(n);
    windowLeft_ -= static_cast<int64_t>(n);
    pos += n;
    if (windowLeft_ > 0) continue;
    const Change change = EndOfWindow();
    if (change == Change::TakeStarts) StartTake(listener);
    if (change != Change::TakeEnds) continue;
    // The take's audio is handed over per block, and before its end.
    if (unwritten != kNone) listener.TakeAudio(samples.subspan(unwritten, pos - unwritten));
    unwritten = kNone;
    EndTake(listener);
  }
  if (inTake_ && unwritten != kNone) listener.TakeAudio(samples.subspan(unwritten, pos - unwritten));
}

void SoundGate::NoteFirstLoud(std::span<const int16_t> chunk) {
  for (size_t i = 0; firstLoud_ < 0 && i < chunk.size(); ++i) {
    const int64_t at = position_ + static_cast<int64_t>(i);
    if ((listened_ == channels_ || at % channels_ < listened_) && std::abs(static_cast<int32_t>(chunk[i])) >= threshold_) firstLoud_ = at;
  }
}

void SoundGate::Remember(std::span<const int16_t> samples) {
  const auto capacity = static_cast<int64_t>(ring_.size());
  const int64_t end = position_ + static_cast<int64_t>(samples.size());
  if (static_cast<int64_t>(samples.size()) > capacity) samples = samples.last(static_cast<size_t>(capacity));
  auto at = static_cast<size_t>((end - static_cast<int64_t>(samples.size())) % capacity);
  for (const int16_t sample : samples) {
    ring_[at] = sample;
    if (++at == ring_.size()) at = 0;
  }
  ringBegin_ = std::max(ringBegin_, end - capacity);
}

SoundGate::Change SoundGate::EndOfWindow() {
  const int64_t firstLoud = firstLoud_;
  firstLoud_ = -1;
  windowLeft_ = windowSamples_;
  if (inTake_) {
    quietSamples_ = firstLoud >= 0 ? 0 : quietSamples_ + windowSamples_;
    return quietSamples_ >= hangSamples_ ? Change::TakeEnds : Change::None;
  }
  if (firstLoud < 0) {
    runStart_ = -1;
    return Change::None;
  }
  if (runStart_ < 0) runStart_ = firstLoud - firstLoud % channels_;
  return position_ - runStart_ >= holdSamples_ ? Change::TakeStarts : Change::None;
}

void SoundGate::StartTake(Listener& listener) {
  const int64_t from = std::max(runStart_ - preRollSamples_, ringBegin_);
  runStart_ = -1;
  quietSamples_ = 0;
  inTake_ = true;
  ++takes_;
  listener.TakeStarts();
  ReplayRingFrom(from, listener);
}

void SoundGate::EndTake(Listener& listener) {
  inTake_ = false;
  runStart_ = -1;
  ringBegin_ = position_;  // the next pre-roll starts after this take
  listener.TakeEnds();
}

void SoundGate::ReplayRingFrom(int64_t from, Listener& listener) {
  const auto capacity = static_cast<int64_t>(ring_.size());
  while (from < position_) {
    const int64_t at = from % capacity;
    const int64_t n = std::min(position_ - from, capacity - at);
    listener.TakeAudio(std::span<const int16_t>(ring_).subspan(static_cast<size_t>(at), static_cast<size_t>(n)));
    from += n;
  }
}
