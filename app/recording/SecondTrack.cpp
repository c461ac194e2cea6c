#include "app/recording/SecondTrack.h"

#include <algorithm>

#include "metering/BlockPeak.h"

void SecondTrack::Makers(InputMaker input, CancellerMaker canceller) {
  inputMaker_ = std::move(input);
  cancellerMaker_ = std::move(canceller);
}

std::string SecondTrack::Begin(const SecondInputSettings& settings, const RecordingFormat& format) {
  End();
  active_ = settings.Active();
  if (!active_) return {};
  channels_ = format.channels;
  if (settings.removeComputerSound && cancellerMaker_) canceller_ = cancellerMaker_(format.rate, format.channels);
  if (canceller_) referenceDelay_.emplace(canceller_->LagFrames(), format.channels);
  input_ = inputMaker_ ? inputMaker_() : nullptr;
  if (!input_) return {};
  std::string why = input_->Open(settings.sourceName, format.rate, format.channels);
  if (!why.empty()) input_.reset();
  return why;
}

void SecondTrack::End() {
  if (input_) input_->Close();
  input_.reset();
  canceller_.reset();
  referenceDelay_.reset();
  active_ = false;
  stretch_.clear();
  recorded_ = {};
}

std::span<const int16_t> SecondTrack::Pull(int64_t firstFrame, size_t samples) {
  stretch_.resize(samples);
  if (input_) {
    input_->Pull(firstFrame, stretch_);
  } else {
    std::fill(stretch_.begin(), stretch_.end(), int16_t{0});
  }
  recorded_ = stretch_;
  return stretch_;
}

std::vector<SecondInput::Loss> SecondTrack::TakeLosses() { return input_ ? input_->TakeLosses() : std::vector<SecondInput::Loss>{}; }

void SecondTrack::CancelEcho(std::span<int16_t> first) {
  if (!canceller_) return;
  const size_t n = std::min(first.size(), stretch_.size());
  canceller_->Process(first.first(n), std::span<const int16_t>(stretch_).first(n));
  recorded_ = referenceDelay_->Process(stretch_);
}

std::span<const int16_t> SecondTrack::Widen(std::span<const int16_t> first) { return Interleave(first, recorded_); }

std::span<const int16_t> SecondTrack::WidenWithSilence(std::span<const int16_t> first) {
  if (silence_.size() < first.size()) silence_.assign(first.size(), 0);
  return Interleave(first, silence_);
}

std::span<const int16_t> SecondTrack::Interleave(std::span<const int16_t> first, std::span<const int16_t> second) {
  const auto width = static_cast<size_t>(channels_);
  const size_t frames = std::min(first.size(), second.size()) / width;
  wide_.resize(frames * 2 * width);
  for (size_t frame = 0; frame < frames; ++frame) {
    const auto at = static_cast<ptrdiff_t>(frame * width);
    const auto out = wide_.begin() + static_cast<ptrdiff_t>(frame * 2 * width);
    std::copy_n(first.begin() + at, width, out);
    std::copy_n(second.begin() + at, width, out + static_cast<ptrdiff_t>(width));
  }
  return wide_;
}

std::optional<double> SecondTrack::EchoDelayMs() const {
  return canceller_ ? canceller_->DelayMs() : std::nullopt;
}

std::array<int32_t, 2> SecondTrack::Peaks() const { return BlockPeak::OfChannels(stretch_, channels_); }
