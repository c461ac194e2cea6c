#include "mixing/FrameDelay.h"

FrameDelay::FrameDelay(int32_t frames, int16_t channels)
    : line_(static_cast<size_t>(frames > 0 ? frames : 0) * static_cast<size_t>(channels > 0 ? channels : 1), 0) {}

std::span<const int16_t> FrameDelay::Process(std::span<const int16_t> in) {
  out_.resize(in.size());
  if (line_.empty()) {
    std::copy(in.begin(), in.end(), out_.begin());
    return out_;
  }
  for (size_t i = 0; i < in.size(); ++i) {
    out_[i] = line_[head_];
    line_[head_] = in[i];
    head_ = head_ + 1 == line_.size() ? 0 : head_ + 1;
  }
  return out_;
}
