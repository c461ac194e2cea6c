// CatchUpEncoder: encodes again, with a fresh codec of the running one's kind
// and setting, the audio a running lossy codec (Opus, MP3) still holds back (its
// look-ahead and its partial frame), which that codec only gives out at the end
// of the stream. Used for a checkpoint's tail (see AudioMuxer::Checkpoint), so
// the running codec is never touched.
//
// The fresh codec starts kPrimingFrames frames before the first packet kept, so
// that packet is shaped by the audio before it, and on the running codec's frame
// grid, so the kept packets continue the running stream's last packet on the
// time line. Positions count input samples at the codec's rate; a packet's pts is
// the position of its first sample (the codec's initial padding taken off).
// Internal to encoding/: callers hold the codec-library objects it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct AVAudioFifo;
struct AVCodecContext;

class CatchUpEncoder {
 public:
  static constexpr int kPrimingFrames = 2;

  struct Packet {
    std::vector<uint8_t> data;
    int64_t pts = 0;       // codec time base
    int64_t duration = 0;
  };

  CatchUpEncoder();
  ~CatchUpEncoder();
  CatchUpEncoder(const CatchUpEncoder&) = delete;
  CatchUpEncoder& operator=(const CatchUpEncoder&) = delete;

  // Opens a codec like `running` (kind, rate, channels, sample format, bit rate)
  // with the codec options `options`, to give packets from position `from` on.
  bool Open(const AVCodecContext& running, const std::vector<std::pair<std::string, std::string>>& options,
            int64_t from);
  // Where the samples fed must start: kPrimingFrames frames before `from` on the
  // grid. May be negative: positions before 0 are fed as silence.
  int64_t FirstPosition() const { return first_; }
  // Feeds `count` samples of `source` from its sample `offset` on (`source` is
  // left as it is); silence when `source` is null.
  bool Add(AVAudioFifo* source, int offset, int count);
  // Ends the stream and hands over the packets that start in [from, before).
  bool Finish(int64_t before, std::vector<Packet>& out);

  const std::string& LastError() const { return error_; }

 private:
  struct Codec;  // codec-library state
  bool OpenCodec(const AVCodecContext& running, const std::vector<std::pair<std::string, std::string>>& options);
  bool AllocateBuffers();
  bool EncodeWholeFrames(bool last);
  bool Collect();
  bool Failed(const std::string& call, int code);

  std::unique_ptr<Codec> codec_;
  int64_t from_ = 0;
  int64_t first_ = 0;
  int64_t fed_ = 0;              // samples fed so far
  std::vector<Packet> packets_;  // every packet given, priming ones too
  std::string error_;
};
