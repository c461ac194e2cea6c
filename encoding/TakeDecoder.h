// TakeDecoder: a recorded file (any of our types) read back as interleaved
// 16-bit PCM at the file's own rate and channel count, through the codec
// libraries' demuxer and decoder. Positions count sample frames from the
// file's first decoded frame. Single thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TakeDecoder {
 public:
  TakeDecoder();
  ~TakeDecoder();
  TakeDecoder(const TakeDecoder&) = delete;
  TakeDecoder& operator=(const TakeDecoder&) = delete;

  // False when the file cannot be read as audio; LastError() says why.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return state_ != nullptr; }

  int32_t Rate() const;
  int16_t Channels() const;
  // The length the container states (0 when it states none).
  int64_t Frames() const;
  // Frame of the next sample Read hands out.
  int64_t Position() const { return position_; }

  // Appends up to `frames` frames to `out`; returns the frames appended, 0 at
  // the end of the file, -1 on a decoding failure (LastError).
  int64_t Read(std::vector<int16_t>& out, int64_t frames);
  // The next Read starts at `frame` (within a frame or so for the packet-based types).
  bool Seek(int64_t frame);

  const std::string& LastError() const { return error_; }

 private:
  struct State;
  // Decodes the next packet's samples into the pending buffer; false at the end or on failure.
  bool DecodeMore();
  bool Fail(std::string why);

  std::unique_ptr<State> state_;
  std::vector<int16_t> pending_;  // decoded samples not yet read
  size_t pendingAt_ = 0;          // first unread sample in pending_
  int64_t position_ = 0;
  int64_t skipTo_ = -1;           // after a seek: drop decoded frames before this one
  std::string error_;
};
