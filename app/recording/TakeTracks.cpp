#include "app/recording/TakeTracks.h"

#include <algorithm>

TakeTracks::TakeTracks(TrackLayout layout, int16_t channels, double firstGainDb, double secondGainDb)
    : channels_(std::max<int16_t>(channels, 1)), mix_(std::in_place, firstGainDb, secondGainDb) {
  switch (layout) {
    case TrackLayout::Mix: tracks_ = {Track::Mix}; break;
    case TrackLayout::Separate: tracks_ = {Track::First, Track::Second}; break;
    case TrackLayout::Both: tracks_ = {Track::Mix, Track::First, Track::Second}; break;
  }
}

std::string TakeTracks::Suffix(size_t file) const {
  if (file == 0 || file >= tracks_.size()) return {};
  return tracks_[file] == Track::First ? "-1" : "-2";
}

void TakeTracks::Split(std::span<const int16_t> recorded) {
  recorded_ = recorded;
  if (tracks_.empty()) return;
  const size_t samples = recorded.size() / 2;
  const auto width = static_cast<size_t>(channels_);
  first_.resize(samples);
  second_.resize(samples);
  for (size_t frame = 0; frame < samples / width; ++frame) {
    const size_t in = frame * 2 * width;
    std::copy_n(recorded.begin() + static_cast<ptrdiff_t>(in), width, first_.begin() + static_cast<ptrdiff_t>(frame * width));
    std::copy_n(recorded.begin() + static_cast<ptrdiff_t>(in + width), width,
                second_.begin() + static_cast<ptrdiff_t>(frame * width));
  }
  if (tracks_.front() == Track::Mix) {
    mixed_.resize(samples);
    mix_->Mix(first_, second_, mixed_);
  }
}

std::span<const int16_t> TakeTracks::File(size_t file) const {
  if (tracks_.empty()) return recorded_;
  switch (tracks_.at(file)) {
    case Track::Mix: return mixed_;
    case Track::First: return first_;
    case Track::Second: return second_;
  }
  return {};
}
