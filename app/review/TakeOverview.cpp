#include "app/review/TakeOverview.h"

#include <algorithm>
#include <utility>

namespace {
constexpr TakeOverview::Column kEmptyColumn{INT16_MAX, INT16_MIN};
}

void TakeOverview::Begin(std::string path, int32_t rate, int16_t channels) {
  path_ = std::move(path);
  rate_ = rate;
  channels_ = std::max<int16_t>(channels, 1);
  columns_.assign(kColumns, kEmptyColumn);
  closed_ = 0;
  framesPerColumn_ = 1;
  inColumn_ = 0;
  channelInFrame_ = 0;
  frames_ = 0;
}

void TakeOverview::Add(std::span<const int16_t> samples) {
  if (columns_.empty()) return;  // no Begin yet
  for (const int16_t sample : samples) {
    Column& open = columns_[closed_];
    open.minimum = std::min(open.minimum, sample);
    open.maximum = std::max(open.maximum, sample);
    if (++channelInFrame_ < channels_) continue;
    channelInFrame_ = 0;
    ++frames_;
    if (++inColumn_ == framesPerColumn_) CloseColumn();
  }
}

void TakeOverview::CloseColumn() {
  inColumn_ = 0;
  if (++closed_ == kColumns) MergePairs();
}

void TakeOverview::MergePairs() {
  const int32_t half = kColumns / 2;
  for (int32_t i = 0; i < half; ++i) {
    const Column& a = columns_[2 * i];
    const Column& b = columns_[2 * i + 1];
    columns_[i] = {std::min(a.minimum, b.minimum), std::max(a.maximum, b.maximum)};
  }
  std::fill(columns_.begin() + half, columns_.end(), kEmptyColumn);
  closed_ = half;
  framesPerColumn_ *= 2;
}

std::span<const TakeOverview::Column> TakeOverview::Columns() const {
  if (columns_.empty()) return {};
  const bool partial = inColumn_ > 0 || channelInFrame_ > 0;
  return std::span(columns_).first(closed_ + (partial ? 1 : 0));
}
