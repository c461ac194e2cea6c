#include "encoding/TakeDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

#include "encoding/CodecLibraryError.h"
#include "encoding/RegularFileInput.h"

struct TakeDecoder::State {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* toS16 = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  bool drained = false;  // the demuxer is at its end and the decoder flushed

  ~State() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&toS16);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
  AVRational TimeBase() const { return format->streams[stream]->time_base; }
  int Channels() const { return codec->ch_layout.nb_channels; }
};

TakeDecoder::TakeDecoder() = default;
TakeDecoder::~TakeDecoder() = default;

bool TakeDecoder::Fail(std::string why) {
  error_ = std::move(why);
  return false;
}

bool TakeDecoder::Open(const std::string& path) {
  Close();
  auto state = std::make_unique<State>();
  RegularFileInput input;
  if (std::string refusal = input.Open(path); !refusal.empty()) return Fail(refusal);
  int r = avformat_open_input(&state->format, input.DemuxerUrl().c_str(), nullptr, nullptr);
  if (r < 0) return Fail(CodecLibraryError::Text("avformat_open_input", r));
  r = avformat_find_stream_info(state->format, nullptr);
  if (r < 0) return Fail(CodecLibraryError::Text("avformat_find_stream_info", r));
  const AVCodec* decoder = nullptr;
  state->stream = av_find_best_stream(state->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (state->stream < 0) return Fail(CodecLibraryError::Text("av_find_best_stream", state->stream));
  state->codec = avcodec_alloc_context3(decoder);
  if (state->codec == nullptr) return Fail(CodecLibraryError::Text("avcodec_alloc_context3", AVERROR(ENOMEM)));
  r = avcodec_parameters_to_context(state->codec, state->format->streams[state->stream]->codecpar);
  // Lets the decoder place the frames after the codec delay it skips (else it warns on the terminal).
  state->codec->pkt_timebase = state->TimeBase();
  if (r >= 0) r = avcodec_open2(state->codec, decoder, nullptr);
  if (r < 0) return Fail(CodecLibraryError::Text("avcodec_open2", r));
  if (state->Channels() < 1 || state->Channels() > 2 || state->codec->sample_rate <= 0) {
    return Fail(CodecLibraryError::Text("avcodec_open2", AVERROR_INVALIDDATA));
  }
  AVChannelLayout layout;
  av_channel_layout_default(&layout, state->Channels());
  r = swr_alloc_set_opts2(&state->toS16, &layout, AV_SAMPLE_FMT_S16, state->codec->sample_rate,
                          &state->codec->ch_layout, state->codec->sample_fmt, state->codec->sample_rate, 0, nullptr);
  if (r >= 0) r = swr_init(state->toS16);
  if (r < 0) return Fail(CodecLibraryError::Text("swr_init", r));
  state->packet = av_packet_alloc();
  state->frame = av_frame_alloc();
  if (state->packet == nullptr || state->frame == nullptr) {
    return Fail(CodecLibraryError::Text("av_frame_alloc", AVERROR(ENOMEM)));
  }
  state_ = std::move(state);
  return true;
}

void TakeDecoder::Close() {
  state_.reset();
  pending_.clear();
  pendingAt_ = 0;
  position_ = 0;
  skipTo_ = -1;
}

int32_t TakeDecoder::Rate() const { return state_ ? state_->codec->sample_rate : 0; }
int16_t TakeDecoder::Channels() const { return state_ ? static_cast<int16_t>(state_->Channels()) : 0; }

int64_t TakeDecoder::Frames() const {
  if (!state_) return 0;
  const AVStream* stream = state_->format->streams[state_->stream];
  if (stream->duration > 0) return av_rescale_q(stream->duration, stream->time_base, {1, Rate()});
  if (state_->format->duration > 0) return av_rescale(state_->format->duration, Rate(), AV_TIME_BASE);
  return 0;
}

int64_t TakeDecoder::Read(std::vector<int16_t>& out, int64_t frames) {
  if (!state_) return 0;
  const size_t channels = static_cast<size_t>(Channels());
  int64_t appended = 0;
  while (appended < frames) {
    if (pendingAt_ == pending_.size()) {
      pending_.clear();
      pendingAt_ = 0;
      if (!DecodeMore()) {
        if (!error_.empty()) return -1;
        break;
      }
      continue;
    }
    const auto take = std::min<size_t>((pending_.size() - pendingAt_) / channels, frames - appended);
    out.insert(out.end(), pending_.begin() + pendingAt_, pending_.begin() + pendingAt_ + take * channels);
    pendingAt_ += take * channels;
    appended += take;
    position_ += take;
  }
  return appended;
}

bool TakeDecoder::DecodeMore() {
  State& s = *state_;
  error_.clear();
  while (true) {
    int r = avcodec_receive_frame(s.codec, s.frame);
    if (r == 0) {
      const int count = s.frame->nb_samples;
      const size_t start = pending_.size();
      pending_.resize(start + static_cast<size_t>(count) * s.Channels());
      uint8_t* target = reinterpret_cast<uint8_t*>(pending_.data() + start);
      r = swr_convert(s.toS16, &target, count, const_cast<const uint8_t**>(s.frame->extended_data), count);
      int64_t framePosition = s.frame->pts == AV_NOPTS_VALUE ? -1 : av_rescale_q(s.frame->pts, s.TimeBase(), {1, Rate()});
      av_frame_unref(s.frame);
      if (r < 0) return Fail(CodecLibraryError::Text("swr_convert", r));
      pending_.resize(start + static_cast<size_t>(r) * s.Channels());
      if (skipTo_ >= 0 && framePosition >= 0) {
        // After a seek: the frame's own position places it; drop what lies before the target.
        const int64_t drop = std::clamp<int64_t>(skipTo_ - framePosition, 0, r);
        pendingAt_ = start + static_cast<size_t>(drop) * s.Channels();
        position_ = framePosition + drop;
        if (drop == r) continue;
        skipTo_ = -1;
      }
      return true;
    }
    if (r == AVERROR_EOF) return false;
    if (r != AVERROR(EAGAIN)) return Fail(CodecLibraryError::Text("avcodec_receive_frame", r));
    if (s.drained) return false;
    r = av_read_frame(s.format, s.packet);
    if (r == AVERROR_EOF) {
      s.drained = true;
      avcodec_send_packet(s.codec, nullptr);
      continue;
    }
    if (r < 0) return Fail(CodecLibraryError::Text("av_read_frame", r));
    if (s.packet->stream_index == s.stream) r = avcodec_send_packet(s.codec, s.packet);
    av_packet_unref(s.packet);
    if (r < 0 && r != AVERROR(EAGAIN)) return Fail(CodecLibraryError::Text("avcodec_send_packet", r));
  }
}

bool TakeDecoder::Seek(int64_t frame) {
  if (!state_) return false;
  State& s = *state_;
  const int64_t target = std::max<int64_t>(frame, 0);
  const int64_t timestamp = av_rescale_q(target, {1, Rate()}, s.TimeBase());
  const int r = av_seek_frame(s.format, s.stream, timestamp, AVSEEK_FLAG_BACKWARD);
  if (r < 0) return Fail(CodecLibraryError::Text("av_seek_frame", r));
  avcodec_flush_buffers(s.codec);
  s.drained = false;
  pending_.clear();
  pendingAt_ = 0;
  position_ = target;
  skipTo_ = target;
  return true;
}
