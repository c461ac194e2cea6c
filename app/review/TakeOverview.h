// TakeOverview: the whole take as a strip of columns, each the smallest and
// largest sample (over all channels) of an equal run of frames. Kept on the
// recording thread as the take grows: a fixed number of columns, and when they
// are full each neighbouring pair merges into one and a column covers twice the
// frames. A few comparisons per sample; no allocation after Begin.
// One thread at a time (the recording thread, the window's only while idle).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TakeOverview {
 public:
  struct Column {
    int16_t minimum;
    int16_t maximum;
  };
  static constexpr int32_t kColumns = 2048;  // even: columns merge in pairs

  // A new take into `path` of `channels` (1 or 2) at `rate` Hz.
  void Begin(std::string path, int32_t rate, int16_t channels);
  // The next interleaved samples of the take (whole frames).
  void Add(std::span<const int16_t> samples);

  // The columns so far, the last one partly filled when frames are left over.
  std::span<const Column> Columns() const;
  int64_t FramesPerColumn() const { return framesPerColumn_; }
  int64_t Frames() const { return frames_; }
  const std::string& Path() const { return path_; }
  int32_t Rate() const { return rate_; }
  int16_t Channels() const { return channels_; }

 private:
  void CloseColumn();
  void MergePairs();

  std::string path_;
  int32_t rate_ = 0;
  int16_t channels_ = 1;
  std::vector<Column> columns_;  // kColumns long from Begin on
  int32_t closed_ = 0;           // complete columns
  int64_t framesPerColumn_ = 1;
  int64_t inColumn_ = 0;         // frames in the open column
  int16_t channelInFrame_ = 0;   // samples of the frame in progress
  int64_t frames_ = 0;
};
